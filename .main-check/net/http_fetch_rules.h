// The rules every platform's service fetch applies, whatever its HTTP stack.
#pragma once

#include <string>

namespace orvella {

/// True when `url` starts with "http:" or "https:" in any letter case: the only URLs the
/// service fetch opens and whose status it tests. Any thread.
bool IsHttpUrl(const std::wstring& url);

/// True for the statuses whose body the service fetch reads: 200, 301 and 302. Any thread.
bool IsAcceptedStatus(long status);

}  // namespace orvella
