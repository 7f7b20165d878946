// One image fetched over HTTP or HTTPS into a file, watching the worker's stop flag.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "net/image_session.h"

namespace orvella {

/// Agent name of every download session.
inline constexpr wchar_t kDownloadAgent[] = L"Rovanta FeedReader";

/// Results of DownloadImage.
inline constexpr int32_t kDownloadOk = 0;
inline constexpr int32_t kDownloadFailed = -1;   // URL, scheme, file, request, send or status
inline constexpr int32_t kDownloadError = -2;    // HTTP layer error, short body, write error
inline constexpr int32_t kDownloadStopped = -3;  // the stop flag ended it

/// Downloads `url` into `target`, created afresh: a regular file there is removed first;
/// a link or anything else there is left alone and the call fails (-1). Returns one of
/// the results above; for every result but 0 a file the call created has been removed again. A body
/// shorter than announced, a failed write and a 200 answer that is no picture (empty, or
/// an HTML page: net/picture_check.h) are errors (-2), not successes. Throws only
/// when no session can be opened. Writes the "DownloadImage(), ..." log lines. Worker
/// thread.
int32_t DownloadImage(const std::wstring& url, const std::wstring& target,
                      const std::atomic<int32_t>* stop,
                      ImageSessionOpener open = &OpenImageSession);

}  // namespace orvella
