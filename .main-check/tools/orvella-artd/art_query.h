// Reading a request's query string the way the art service does: split at '&' and '=',
// %-escapes decoded, '+' kept as a plus sign (clients insert e-mail addresses unencoded).
#pragma once

#include <map>
#include <optional>
#include <string>

namespace orvella::artd {

class QueryParams {
 public:
  /// Parses the query of a raw request target ("/path?a=1&b=2"); without '?' it is empty.
  /// A repeated name keeps its first value.
  static QueryParams FromTarget(const std::string& target);

  /// The value of `name`, or nullopt when the query lacks it.
  std::optional<std::string> Get(const std::string& name) const;
  /// The value of `name` as a decimal integer, or nullopt when missing or not one.
  std::optional<long long> GetInt(const std::string& name) const;

 private:
  std::map<std::string, std::string> values_;
};

/// Decodes %-escapes (an invalid escape stays as written); '+' stays '+'.
std::string PercentDecode(const std::string& text);

}  // namespace orvella::artd
