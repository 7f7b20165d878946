// The profile accesses of the host ABI, filled in one way for every sender: the plug-in
// through its host's callback, and a host that answers them itself.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/host_callback.h"

namespace orvella {

/// The most characters a text read takes, the terminator not counted (its buffer's
/// capacity): longer values do not come back whole.
inline constexpr int32_t kProfileTextCapacity = 1023;

/// Hands one request to the host: kHostOpProfileRead or kHostOpProfileWrite.
using ProfileSender = std::function<void(HostOp op, ProfileRequest& request)>;

/// Reads an integer: the host's answer, or `defaultValue` when it applies the default.
/// Returns what the host left in the request (0 when it did not answer). Any thread.
int32_t ReadProfileInt(const ProfileSender& send, const wchar_t* section, const wchar_t* key,
                       int32_t defaultValue);

/// Reads a text of at most 1023 characters into a buffer of the caller's, taking the text
/// at the address the host leaves in the request (its own, or the buffer). Any thread.
std::wstring ReadProfileString(const ProfileSender& send, const wchar_t* section,
                               const wchar_t* key, const wchar_t* defaultValue);

/// Writes an integer or a text; the host reports no failure. Any thread.
void WriteProfileInt(const ProfileSender& send, const wchar_t* section, const wchar_t* key,
                     int32_t value);
void WriteProfileString(const ProfileSender& send, const wchar_t* section, const wchar_t* key,
                        const std::wstring& value);

}  // namespace orvella
