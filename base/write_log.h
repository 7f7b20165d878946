// The diagnostic log: one line per call, handed to the host with op 7.
#pragma once

#include "base/host_callback.h"
#include "base/text_format.h"

namespace orvella {

/// Maximum characters of one line; longer lines are cut.
inline constexpr std::size_t kLogLineMax = 2047;

/// Sets the callback that receives log lines (null: lines are dropped).
/// Called by message 3 on the host's thread; safe against concurrent WriteLog.
void SetLogCallback(HostCallback callback);

/// Formats the line on the stack and hands it to the host. Any thread; never throws;
/// allocates nothing. Without a registered callback the line is silently dropped.
void WriteLogArgs(std::wstring_view format, const FormatArg* args, std::size_t count) noexcept;

/// WriteLog(L"Refresh %d: lastTm=%d, retries=%d", i, lastTm, retries);
template <class... Args>
void WriteLog(FormatString<std::type_identity_t<Args>...> format, const Args&... args) noexcept {
  const FormatArg packed[sizeof...(Args) + 1] = {MakeFormatArg(args)..., FormatArg{}};
  WriteLogArgs(format.text(), packed, sizeof...(Args));
}

}  // namespace orvella
