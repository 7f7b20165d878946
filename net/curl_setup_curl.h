// One libcurl set-up for both transports: the process-wide initialisation, and the options
// every request of the plug-in carries.
#pragma once

#include <curl/curl.h>

#include <atomic>
#include <cstdint>
#include <string>

namespace orvella {

/// The platform stack on Windows gives up on a connection or a silent server after about
/// a minute; libcurl waits forever unless told, which would leave a stalled request
/// blocking its thread for good.
inline constexpr long kConnectTimeoutMs = 60000;
inline constexpr long kStallSeconds = 60;  // no byte for this long: the transfer fails

/// How often a transfer in progress looks at its stop flag while it waits for the network.
inline constexpr int kStopPollMs = 100;

/// libcurl's process-wide set-up, done once for the module's lifetime and deliberately
/// never undone: curl_global_cleanup must not run while any other thread (the host's own
/// included) may use libcurl, and an unload cannot know that. libcurl itself stays loaded
/// for the rest of the process: a request stopped while it looked up a host name leaves
/// libcurl's resolver thread to finish on its own, and unloading this module must not
/// unmap the code that thread runs. The set-up holds no pointer into this module, so
/// unloading leaves nothing dangling. Returns the set-up's result. Any thread.
CURLcode InitCurlOnce();

/// Runs the transfer set up on `easy` to its end, as curl_easy_perform would, looking at
/// `stop` (may be null) at least every kStopPollMs while it waits. Returns libcurl's
/// result, or CURLE_ABORTED_BY_CALLBACK when the stop flag ended the transfer first (the
/// connection is then dropped); once the whole announced body is in, the stop no longer
/// matters. The calling thread's handle.
CURLcode PerformWatched(CURL* easy, const std::atomic<int32_t>* stop);

/// Sets on `easy` what every request shares: the URL in its wire form, http and https
/// only (redirects included), `agent` as User-Agent, `headers` (kept by the caller until
/// the request ends), no signals, the connect time-out, the stall limit and reads of
/// `receiveBuffer` bytes. Returns false when libcurl refuses the URL or the protocols.
/// The calling thread's handle.
bool SetCommonOptions(CURL* easy, const std::string& wireUrl, const char* agent,
                      curl_slist* headers, long receiveBuffer);

}  // namespace orvella
