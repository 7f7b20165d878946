// Json::Value over nlohmann::json.
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>

#include "json/json.h"

namespace Json {

struct Value::Views {
  std::map<String, std::unique_ptr<Value>> members;
  std::map<ArrayIndex, std::unique_ptr<Value>> elements;
};

namespace {

[[noreturn]] void ThrowLogicError(const char* message) {
  throw LogicError(message);
}

nlohmann::json EmptyOf(ValueType type) {
  switch (type) {
    case intValue:
      return nlohmann::json(Int64{0});
    case uintValue:
      return nlohmann::json(UInt64{0});
    case realValue:
      return nlohmann::json(0.0);
    case stringValue:
      return nlohmann::json(String());
    case booleanValue:
      return nlohmann::json(false);
    case arrayValue:
      return nlohmann::json::array();
    case objectValue:
      return nlohmann::json::object();
    case nullValue:
      break;
  }
  return nlohmann::json();
}

const Value& NullValue() {
  static const Value null;
  return null;
}

}  // namespace

Value::Value(ValueType type) : own_(std::make_unique<nlohmann::json>(EmptyOf(type))) {}
Value::Value(Int value) : own_(std::make_unique<nlohmann::json>(Int64{value})) {}
Value::Value(UInt value) : own_(std::make_unique<nlohmann::json>(UInt64{value})) {}
Value::Value(Int64 value) : own_(std::make_unique<nlohmann::json>(value)) {}
Value::Value(UInt64 value) : own_(std::make_unique<nlohmann::json>(value)) {}
Value::Value(double value) : own_(std::make_unique<nlohmann::json>(value)) {}
Value::Value(const char* value) : own_(std::make_unique<nlohmann::json>(String(value))) {}
Value::Value(const String& value) : own_(std::make_unique<nlohmann::json>(value)) {}
Value::Value(bool value) : own_(std::make_unique<nlohmann::json>(value)) {}
Value::Value(const Value& other) : own_(std::make_unique<nlohmann::json>(other.Node())) {}
Value::Value(Value&& other) noexcept : Value(nullValue) {
  *this = std::move(other);
}
Value::~Value() = default;

Value& Value::operator=(const Value& other) {
  if (this == &other) return *this;
  nlohmann::json copy = other.Node();  // other may be a view inside this value's tree
  ForgetViews();
  Node() = std::move(copy);
  return *this;
}

Value& Value::operator=(Value&& other) noexcept {
  if (this == &other) return *this;
  nlohmann::json taken = std::move(other.Node());
  other.ForgetViews();
  other.Node() = nlohmann::json();
  ForgetViews();
  Node() = std::move(taken);
  return *this;
}

nlohmann::json& Value::Node() {
  return const_cast<nlohmann::json&>(static_cast<const Value*>(this)->Node());
}

const nlohmann::json& Value::Node() const {
  if (parent_ == nullptr) return *own_;
  auto& holder = const_cast<nlohmann::json&>(parent_->Node());
  if (isElement_) return holder[index_];
  return holder[key_];
}

void Value::ForgetViews() {
  views_.reset();
}

Value& Value::MemberView(const String& key) const {
  if (!views_) views_ = std::make_unique<Views>();
  std::unique_ptr<Value>& view = views_->members[key];
  if (!view) {
    view.reset(new Value(nullValue));
    view->own_.reset();
    view->parent_ = this;
    view->key_ = key;
  }
  return *view;
}

Value& Value::ElementView(ArrayIndex index) const {
  if (!views_) views_ = std::make_unique<Views>();
  std::unique_ptr<Value>& view = views_->elements[index];
  if (!view) {
    view.reset(new Value(nullValue));
    view->own_.reset();
    view->parent_ = this;
    view->index_ = index;
    view->isElement_ = true;
  }
  return *view;
}

ValueType Value::type() const {
  switch (Node().type()) {
    case nlohmann::json::value_t::number_integer:
      return intValue;
    case nlohmann::json::value_t::number_unsigned:
      return uintValue;
    case nlohmann::json::value_t::number_float:
      return realValue;
    case nlohmann::json::value_t::string:
      return stringValue;
    case nlohmann::json::value_t::boolean:
      return booleanValue;
    case nlohmann::json::value_t::array:
      return arrayValue;
    case nlohmann::json::value_t::object:
      return objectValue;
    default:
      return nullValue;
  }
}

ArrayIndex Value::size() const {
  const nlohmann::json& node = Node();
  if (node.is_array() || node.is_object()) return static_cast<ArrayIndex>(node.size());
  return 0;
}

bool Value::empty() const {
  return isNull() || ((isArray() || isObject()) && size() == 0);
}

const char* Value::asCString() const {
  if (type() != stringValue) ThrowLogicError("in Json::Value::asCString(): requires stringValue");
  return Node().get_ref<const String&>().c_str();
}

Value& Value::operator[](const char* key) {
  return (*this)[String(key, std::strlen(key))];
}

Value& Value::operator[](const String& key) {
  const ValueType t = type();
  if (t != nullValue && t != objectValue) {
    ThrowLogicError("in Json::Value::resolveReference(key, end): requires objectValue");
  }
  if (t == nullValue) {
    ForgetViews();
    Node() = nlohmann::json::object();
  }
  nlohmann::json& node = Node();
  if (node.find(key) == node.end()) node[key] = nullptr;
  return MemberView(key);
}

const Value& Value::operator[](const char* key) const {
  return (*this)[String(key, std::strlen(key))];
}

const Value& Value::operator[](const String& key) const {
  const ValueType t = type();
  if (t != nullValue && t != objectValue) {
    ThrowLogicError("in Json::Value::find(begin, end): requires objectValue or nullValue");
  }
  if (t == nullValue) return NullValue();
  const nlohmann::json& node = Node();
  if (node.find(key) == node.end()) return NullValue();
  return MemberView(key);
}

Value& Value::operator[](ArrayIndex index) {
  const ValueType t = type();
  if (t != nullValue && t != arrayValue) {
    ThrowLogicError("in Json::Value::operator[](ArrayIndex): requires arrayValue");
  }
  if (t == nullValue) {
    ForgetViews();
    Node() = nlohmann::json::array();
  }
  nlohmann::json& node = Node();
  if (index >= node.size()) {
    // The array grows up to the index; the elements between read as null, as the
    // absent elements of JsonCpp's sparse arrays do.
    while (node.size() <= index) node.push_back(nullptr);
  }
  return ElementView(index);
}

Value& Value::operator[](int index) {
  if (index < 0) ThrowLogicError("in Json::Value::operator[](int index): index cannot be negative");
  return (*this)[static_cast<ArrayIndex>(index)];
}

const Value& Value::operator[](ArrayIndex index) const {
  const ValueType t = type();
  if (t != nullValue && t != arrayValue) {
    ThrowLogicError("in Json::Value::operator[](ArrayIndex)const: requires arrayValue");
  }
  if (t == nullValue || index >= Node().size()) return NullValue();
  return ElementView(index);
}

const Value& Value::operator[](int index) const {
  if (index < 0) {
    ThrowLogicError("in Json::Value::operator[](int index) const: index cannot be negative");
  }
  return (*this)[static_cast<ArrayIndex>(index)];
}

Value Value::get(const char* key, const Value& defaultValue) const {
  return get(String(key, std::strlen(key)), defaultValue);
}

Value Value::get(const String& key, const Value& defaultValue) const {
  const ValueType t = type();
  if (t != nullValue && t != objectValue) {
    ThrowLogicError("in Json::Value::find(begin, end): requires objectValue or nullValue");
  }
  if (t == nullValue) return defaultValue;
  const nlohmann::json& node = Node();
  const auto it = node.find(key);
  if (it == node.end()) return defaultValue;
  return MemberView(key);
}

Value& Value::append(const Value& value) {
  const ValueType t = type();
  if (t != nullValue && t != arrayValue)
    ThrowLogicError("in Json::Value::append: requires arrayValue");
  nlohmann::json copy = value.Node();  // `value` may be a view inside this value's tree
  if (t == nullValue) {
    ForgetViews();
    Node() = nlohmann::json::array();
  }
  Node().push_back(std::move(copy));
  return ElementView(static_cast<ArrayIndex>(Node().size() - 1));
}

namespace {

void WriteString(const String& text, String& out) {
  static const char kHex[] = "0123456789abcdef";
  out += '"';
  for (const char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          out += "\\u00";
          out += kHex[(c >> 4) & 0xF];
          out += kHex[c & 0xF];
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

void WriteNode(const nlohmann::json& node, String& out) {
  switch (node.type()) {
    case nlohmann::json::value_t::object: {
      out += '{';
      bool first = true;
      for (const auto& [key, member] : node.items()) {
        if (!first) out += ',';
        first = false;
        WriteString(key, out);
        out += ':';
        WriteNode(member, out);
      }
      out += '}';
      break;
    }
    case nlohmann::json::value_t::array: {
      out += '[';
      for (std::size_t i = 0; i < node.size(); ++i) {
        if (i > 0) out += ',';
        WriteNode(node[i], out);
      }
      out += ']';
      break;
    }
    case nlohmann::json::value_t::string:
      WriteString(node.get_ref<const String&>(), out);
      break;
    case nlohmann::json::value_t::boolean:
      out += node.get<bool>() ? "true" : "false";
      break;
    case nlohmann::json::value_t::number_integer:
      out += std::to_string(node.get<Int64>());
      break;
    case nlohmann::json::value_t::number_unsigned:
      out += std::to_string(node.get<UInt64>());
      break;
    case nlohmann::json::value_t::number_float: {
      char text[32];
      std::snprintf(text, sizeof text, "%.17g", node.get<double>());
      out += text;
      break;
    }
    default:
      out += "null";
  }
}

}  // namespace

String FastWriter::write(const Value& root) {
  String out;
  WriteNode(root.Node(), out);
  return out + "\n";
}

bool Value::isMember(const char* key) const {
  return isMember(String(key, std::strlen(key)));
}

bool Value::isMember(const String& key) const {
  const ValueType t = type();
  if (t != nullValue && t != objectValue) {
    ThrowLogicError("in Json::Value::find(begin, end): requires objectValue or nullValue");
  }
  return t == objectValue && Node().contains(key);
}

}  // namespace Json
