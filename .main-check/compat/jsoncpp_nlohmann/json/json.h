// The part of JsonCpp's API that the service client uses, for toolchains that have no
// JsonCpp build (mingw-w64 in Debian). Values are kept in nlohmann-json; the reader
// follows JsonCpp's Json::Reader token by token, so that every document is accepted or
// refused exactly as JsonCpp does, strings keep their bytes as sent (no UTF-8 check), and
// the same errors are raised: Json::LogicError on a type mismatch, Json::RuntimeError
// past the nesting limit of 1000.
#pragma once

#include <cstdint>
#include <exception>
#include <map>
#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <vector>

namespace Json {

using Int = int;
using UInt = unsigned int;
using Int64 = std::int64_t;
using UInt64 = std::uint64_t;
using LargestInt = Int64;
using LargestUInt = UInt64;
using ArrayIndex = unsigned int;
using String = std::string;

enum ValueType {
  nullValue = 0,
  intValue,
  uintValue,
  realValue,
  stringValue,
  booleanValue,
  arrayValue,
  objectValue
};

/// Base of every error the library raises.
class Exception : public std::exception {
 public:
  explicit Exception(String message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }

 protected:
  String message_;
};

/// A document that cannot be handled at all (nested deeper than the reader's limit).
class RuntimeError : public Exception {
 public:
  using Exception::Exception;
};

/// A value used as a type it does not have (asCString of a number, a key of an array).
class LogicError : public Exception {
 public:
  using Exception::Exception;
};

/// A JSON value with JsonCpp's value semantics: copies are deep, the non-const
/// subscripts create what they name (a null value becomes an object or an array), the
/// const ones answer a shared null value for what is absent. References returned by the
/// subscripts stay valid until the value holding them is assigned or destroyed.
class Value {
 public:
  Value(ValueType type = nullValue);
  Value(Int value);
  Value(UInt value);
  Value(Int64 value);
  Value(UInt64 value);
  Value(double value);
  Value(const char* value);
  Value(const String& value);
  Value(bool value);
  Value(const Value& other);
  Value(Value&& other) noexcept;
  ~Value();
  Value& operator=(const Value& other);
  Value& operator=(Value&& other) noexcept;

  ValueType type() const;
  bool isNull() const { return type() == nullValue; }
  bool isBool() const { return type() == booleanValue; }
  bool isString() const { return type() == stringValue; }
  bool isArray() const { return type() == arrayValue; }
  bool isObject() const { return type() == objectValue; }
  /// Elements of an array (highest index + 1), members of an object, else 0.
  ArrayIndex size() const;
  /// True for null and for an empty array or object.
  bool empty() const;

  /// The text of a string value (bytes up to the first NUL, as a C string).
  /// Throws LogicError for any other type.
  const char* asCString() const;

  /// Member `key`; created (null) when absent, and a null value becomes an object.
  /// Throws LogicError unless this is null or an object.
  Value& operator[](const char* key);
  Value& operator[](const String& key);
  /// Member `key`, or a null value when absent. Throws LogicError unless this is null
  /// or an object.
  const Value& operator[](const char* key) const;
  const Value& operator[](const String& key) const;
  /// Element `index`; the array grows to hold it, and a null value becomes an array.
  /// Throws LogicError unless this is null or an array (or for a negative index).
  Value& operator[](ArrayIndex index);
  Value& operator[](int index);
  /// Element `index`, or a null value when absent. Throws LogicError unless this is null
  /// or an array (or for a negative index).
  const Value& operator[](ArrayIndex index) const;
  const Value& operator[](int index) const;

  /// A copy of member `key`, or `defaultValue` when absent. Throws LogicError unless
  /// this is null or an object.
  Value get(const char* key, const Value& defaultValue) const;
  Value get(const String& key, const Value& defaultValue) const;
  /// Appends a copy of `value` as the last element; a null value becomes an array.
  /// Throws LogicError unless this is null or an array.
  Value& append(const Value& value);

  /// True when this is an object with member `key`.
  bool isMember(const char* key) const;
  bool isMember(const String& key) const;

 private:
  friend class Reader;
  friend class FastWriter;
  struct Views;

  /// Returns the JSON node this value stands for.
  nlohmann::json& Node();
  const nlohmann::json& Node() const;
  /// Drops the views of members and elements (the node is about to be replaced).
  void ForgetViews();
  /// Returns the view of an existing member or element of this value's node.
  Value& MemberView(const String& key) const;
  Value& ElementView(ArrayIndex index) const;

  // A value is either the owner of a tree (own_) or a view of a member or element of
  // another value (parent_ with key_ or index_); views are kept by that value.
  std::unique_ptr<nlohmann::json> own_;
  const Value* parent_ = nullptr;
  String key_;
  ArrayIndex index_ = 0;
  bool isElement_ = false;
  mutable std::unique_ptr<Views> views_;
};

/// Compact JSON text of a value and a line feed, members in key order, as JsonCpp's
/// FastWriter writes it for the plain text tests build answers from.
class FastWriter {
 public:
  String write(const Value& root);
};

/// JsonCpp's classic reader with all its features on (comments allowed, any root).
class Reader {
 public:
  Reader() = default;

  /// Parses `document` into `root`. Returns false for a document JsonCpp refuses (with
  /// an error message kept for getFormattedErrorMessages). Text after the root value is
  /// ignored, as JsonCpp does. Throws RuntimeError for values nested 1000 deep.
  bool parse(const String& document, Value& root, bool collectComments = true);
  bool parse(const char* beginDoc, const char* endDoc, Value& root, bool collectComments = true);

  /// "* Line L, Column C\n  message\n" for the error that ended the last parse, or "".
  String getFormattedErrorMessages() const;

 private:
  String errors_;
};

}  // namespace Json
