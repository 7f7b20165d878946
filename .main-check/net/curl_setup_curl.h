// One libcurl set-up for both transports: the process-wide initialisation, and the options
// every request of the plug-in carries.
#pragma once

#include <curl/curl.h>

#include <string>

namespace orvella {

/// The platform stack on Windows gives up on a connection or a silent server after about
/// a minute; libcurl waits forever unless told, which would leave a stalled request
/// blocking its thread for good.
inline constexpr long kConnectTimeoutMs = 60000;
inline constexpr long kStallSeconds = 60;  // no byte for this long: the transfer fails

/// libcurl's process-wide set-up, done once for the module's lifetime and deliberately
/// never undone: curl_global_cleanup must not run while any other thread (the host's own
/// included) may use libcurl, and an unload cannot know that. The set-up holds no pointer
/// into this module, so unloading leaves nothing dangling. Returns the set-up's result.
/// Any thread.
CURLcode InitCurlOnce();

/// Sets on `easy` what every request shares: the URL in its wire form, http and https
/// only (redirects included), `agent` as User-Agent, `headers` (kept by the caller until
/// the request ends), no signals, the connect time-out, the stall limit and reads of
/// `receiveBuffer` bytes. Returns false when libcurl refuses the URL or the protocols.
/// The calling thread's handle.
bool SetCommonOptions(CURL* easy, const std::string& wireUrl, const char* agent,
                      curl_slist* headers, long receiveBuffer);

}  // namespace orvella
