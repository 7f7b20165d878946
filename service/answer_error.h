// An answer of the art service that the client cannot read: the JSON library refused it,
// or found a value of another type than the one asked for. The client's own error type,
// so that nothing above the service folder needs to know the JSON library.
#pragma once

#include <string>

namespace orvella {

/// Thrown by COrvellaClient::QueryFeed for a wrongly typed or too deeply nested answer.
/// Deliberately not a std::exception: the worker reports the JSON library's errors with
/// its generic line, not with the framework error's text.
class CServiceAnswerError {
 public:
  explicit CServiceAnswerError(std::string detail) : detail_(std::move(detail)) {}
  /// The JSON library's own message.
  const std::string& Detail() const { return detail_; }

 private:
  std::string detail_;
};

}  // namespace orvella
