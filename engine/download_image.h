// One image fetched over HTTP or HTTPS into a file, watching the worker's stop flag.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "engine/content_digest.h"
#include "net/image_session.h"
#include "net/url_parse.h"
#include "system/safe_files.h"

namespace orvella {

/// Agent name of every download session.
inline constexpr wchar_t kDownloadAgent[] = L"Rovanta FeedReader";

/// Results of DownloadImage.
inline constexpr int32_t kDownloadOk = 0;
inline constexpr int32_t kDownloadFailed = -1;   // URL, scheme, file, request, send or status
inline constexpr int32_t kDownloadError = -2;    // HTTP layer error, short body, write error
inline constexpr int32_t kDownloadStopped = -3;  // the stop flag ended it

/// Where a download writes: the file is made only once the URL and its scheme were
/// accepted.
struct DownloadTarget {
  std::wstring text;  // the target's path, for log lines
  /// Creates the target file, open for writing; kTaken and kFailed end the download.
  std::function<CreateOutcome(WorkFile& file)> create;
  /// Removes what create made, after the download failed.
  std::function<void()> remove;
  /// Takes the digest of the body as it is written, when given.
  ContentDigest* digest = nullptr;
};

/// DownloadImage of a URL parsed already, into the file `target` makes. On 0 the whole
/// body is written and `file` stays open for the caller to finish; on every other result
/// the file has been closed and removed again. Worker thread.
int32_t DownloadParsedImage(const std::wstring& url, const ParsedUrl& parsed,
                            const DownloadTarget& target, WorkFile& file,
                            const std::atomic<int32_t>* stop, ImageSessionOpener open);

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
