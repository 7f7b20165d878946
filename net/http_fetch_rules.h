// The rules every platform's service fetch applies, whatever its HTTP stack.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orvella {

/// True when `url` starts with "http:" or "https:" in any letter case: the only URLs the
/// service fetch opens and whose status it tests. Any thread.
bool IsHttpUrl(const std::wstring& url);

/// True for the statuses whose body the service fetch reads: 200, 301 and 302. Any thread.
bool IsAcceptedStatus(long status);

/// The value of a raw header line ("Name: value", line end included or not) when its
/// name is `name` in any letter case; nothing for another header or no header line.
/// Any thread.
std::optional<std::string_view> HeaderLineValue(std::string_view line, std::string_view name);

/// A header value as FetchReply keeps it: blanks around it dropped; "" when what is left
/// is longer than kMaxRetryAfterText characters. Any thread.
std::string ReplyHeaderText(std::string_view value);

}  // namespace orvella
