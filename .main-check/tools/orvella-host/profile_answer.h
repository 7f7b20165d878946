// How the reference host hands a string value to the plug-in's profile read.
#pragma once

#include <string>

#include "base/host_callback.h"

namespace orvella::host {

/// Answers a string read with `text`: copied, cut to the request's capacity and
/// terminated, into the plug-in's buffer when it gave one; otherwise the request's value
/// points at `text`, which the caller keeps alive until its next answer. Any thread.
void AnswerString(ProfileRequest& request, const std::wstring& text);

}  // namespace orvella::host
