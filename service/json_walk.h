// A walk over JSON text that accepts and refuses exactly what the JSON reader (JsonCpp's
// Json::Reader, comments allowed) accepts and refuses, in the order it meets things, without
// building the reader's tree: a tree takes many times its text, and a feed answer may be
// hundreds of megabytes. What the walk finds goes to sinks that ask only for the values they
// want.
#pragma once

#include <json/json.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

namespace orvella {

/// How deep the reader reads: the root is level 1, and a value one level deeper raises its
/// Json::RuntimeError.
inline constexpr int kJsonReaderDepth = 1000;

/// Receives what a walk finds in one value. Each function's default ignores it.
class CValueSink {
 public:
  virtual ~CValueSink() = default;
  /// The value's type once its first token is read; `start` is where that token begins.
  virtual void Begin(Json::ValueType type, const char* start) {}
  /// A scalar value (string, number, true, false, null) as the reader decodes it.
  virtual void Scalar(const Json::Value& value) {}
  /// The sink for the next element of this array; null: not wanted.
  virtual CValueSink* Element() { return nullptr; }
  /// The sink for the member of this object whose name token (quotes included) is `token`
  /// and whose name is `name` (decoded; both valid during the call); null: not wanted.
  virtual CValueSink* Member(std::string_view name, std::string_view token) { return nullptr; }
  /// The value was read whole and accepted.
  virtual void End() {}
};

enum class WalkResult {
  kAccepted,  // the reader reads the value
  kRefused,   // the reader's parse returns false somewhere in it
  kStopped,   // the stop flag was seen before the walk ended
};

/// Walks the value that begins in `text` (after blanks and comments) as the reader reads a
/// value nested `depth` levels deep (1: the document's root; what follows the value is not
/// looked at, as the reader ignores text after its root). Reports to `sink` (may be null).
/// Looks at `stop` (may be null) before each value. Throws the reader's Json::RuntimeError
/// where it would raise it (values nested deeper than kJsonReaderDepth), and whatever a sink
/// throws. Any thread; `text` must outlive the call.
WalkResult WalkJsonValue(std::string_view text, int depth, CValueSink* sink,
                         const std::atomic<int32_t>* stop);

/// Returns true when the two string tokens (quotes included, as the reader accepted them)
/// decode to the same text; `less` is then false. Otherwise sets `less` when the first
/// decodes to text that sorts before the second's (bytes compared unsigned). Any thread.
bool SameDecodedString(std::string_view first, std::string_view second, bool& less);

/// The text a string token (quotes included, accepted by the reader) decodes to. Any thread.
std::string DecodedString(std::string_view token);

/// Returns the string token that begins at `start` (its opening quote), up to and with its
/// closing quote, within `text`.
std::string_view StringTokenAt(std::string_view text, const char* start);

}  // namespace orvella
