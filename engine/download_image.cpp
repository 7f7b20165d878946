// DownloadImage: one URL into one file, with the log lines of each failure.
#include "engine/download_image.h"

#include <memory>
#include <string_view>
#include <vector>

#include "base/path_text.h"
#include "base/write_log.h"
#include "system/safe_files.h"

namespace orvella {
namespace {

// Takes the body block by block; the stop flag is looked at after each block arrived and
// before it is stored. Blocks are gathered and written in large pieces: a system call per
// 4 KiB block would make the download slower than the network.
class FileSink final : public ImageSink {
 public:
  static constexpr std::size_t kWritePiece = std::size_t{256} << 10;

  FileSink(WorkFile& file, const std::atomic<int32_t>* stop, ContentDigest* digest)
      : file_(file), stop_(stop), digest_(digest) {
    pending_.reserve(kWritePiece);
  }

  bool Deliver(const char* data, std::size_t size) override {
    if (stop_ != nullptr && stop_->load() != 0) {
      stopped_ = true;
      return false;
    }
    pending_.insert(pending_.end(), data, data + size);
    if (digest_ != nullptr) digest_->Update(data, size);
    if (pending_.size() >= kWritePiece && !WritePending()) {
      writeFailed_ = true;
      return false;
    }
    return true;
  }
  /// Writes what is still gathered; the file stays open. Returns false when any write
  /// failed.
  bool Complete() { return !writeFailed_ && WritePending(); }
  bool stopped() const { return stopped_; }

 private:
  bool WritePending() {
    const bool written = file_.Write(std::string_view(pending_.data(), pending_.size()));
    pending_.clear();
    return written;
  }

  WorkFile& file_;
  const std::atomic<int32_t>* stop_;
  ContentDigest* digest_;
  std::vector<char> pending_;
  bool stopped_ = false;
  bool writeFailed_ = false;
};

void CloseAndRemove(WorkFile& file, const DownloadTarget& target) {
  file.Close();
  target.remove();
}

int32_t Finish(const ImageFetchResult& result, FileSink& sink, WorkFile& file,
               const std::wstring& url, const DownloadTarget& target) {
  switch (result.outcome) {
    case ImageFetchOutcome::kComplete:
      if (sink.Complete()) return kDownloadOk;
      break;
    case ImageFetchOutcome::kSinkDeclined:
      if (sink.stopped()) {
        CloseAndRemove(file, target);
        return kDownloadStopped;
      }
      break;
    case ImageFetchOutcome::kStopped:
      CloseAndRemove(file, target);
      return kDownloadStopped;
    case ImageFetchOutcome::kOpenRequestFailed:
      WriteLog(L"DownloadImage(), OpenRequest failed, %s", url);
      CloseAndRemove(file, target);
      return kDownloadFailed;
    case ImageFetchOutcome::kSendFailed:
      WriteLog(L"DownloadImage(), SendRequest failed, %s", url);
      CloseAndRemove(file, target);
      return kDownloadFailed;
    case ImageFetchOutcome::kHttpStatus:
      WriteLog(L"DownloadImage(), HTTP Error %d, url=%s", result.status, url);
      CloseAndRemove(file, target);
      return kDownloadFailed;
    case ImageFetchOutcome::kError:
      WriteLog(L"DownloadImage(), Error %d (%s)", result.errorCode, result.errorText);
      CloseAndRemove(file, target);
      return kDownloadError;
    case ImageFetchOutcome::kNotPicture:
      // A portal's or a proxy's page in place of the picture: kept, it would be recorded
      // and never fetched again.
      WriteLog(L"DownloadImage(), not a picture (%s), url=%s", result.errorText, url);
      CloseAndRemove(file, target);
      return kDownloadError;
  }
  // The body could not be stored completely: keeping part of an image would record a
  // broken file as downloaded.
  WriteLog(L"DownloadImage(), can't write file %s", target.text);
  CloseAndRemove(file, target);
  return kDownloadError;
}

// The steps after the URL was parsed: the scheme, the target file, the request.
int32_t Fetch(ImageSession& session, const std::wstring& url, const ParsedUrl& parsed,
              const DownloadTarget& target, WorkFile& file, const std::atomic<int32_t>* stop) {
  if (parsed.serviceType != kServiceHttp && parsed.serviceType != kServiceHttps) {
    WriteLog(L"DownloadImage(), Unsupported service type (%d), %s", parsed.serviceType, url);
    return kDownloadFailed;
  }
  // What stands at the target and is not the caller's to replace stays as it is: the
  // download fails.
  switch (target.create(file)) {
    case CreateOutcome::kCreated:
      break;
    case CreateOutcome::kTaken:
      WriteLog(L"DownloadImage(), not a regular file, left alone: %s", target.text);
      return kDownloadFailed;
    case CreateOutcome::kFailed:
      WriteLog(L"DownloadImage(), can't create file %s", target.text);
      return kDownloadFailed;
  }
  if (target.digest != nullptr) target.digest->Reset();
  FileSink sink(file, stop, target.digest);
  ImageFetchResult result;
  try {
    result = session.Get(parsed, stop, sink);
  } catch (...) {
    CloseAndRemove(file, target);
    WriteLog(L"DownloadImage(), Unknown exception");
    return kDownloadError;
  }
  return Finish(result, sink, file, url, target);
}

}  // namespace

int32_t DownloadParsedImage(const std::wstring& url, const ParsedUrl& parsed,
                            const DownloadTarget& target, WorkFile& file,
                            const std::atomic<int32_t>* stop, ImageSessionOpener open) {
  const std::unique_ptr<ImageSession> session = open(kDownloadAgent);
  WriteLog(L"DownloadImage(), %s -> %s", url, target.text);
  return Fetch(*session, url, parsed, target, file, stop);
}

int32_t DownloadImage(const std::wstring& url, const std::wstring& target,
                      const std::atomic<int32_t>* stop, ImageSessionOpener open) {
  const std::unique_ptr<ImageSession> session = open(kDownloadAgent);
  WriteLog(L"DownloadImage(), %s -> %s", url, target);
  ParsedUrl parsed;
  if (!ParseUrl(url, parsed)) {
    WriteLog(L"DownloadImage(), AfxParseURL failed, %s", url);
    return kDownloadFailed;
  }
  // A regular file at the target is a leftover of an earlier run and goes; a link or
  // anything else there is not ours and stays as it is.
  const std::filesystem::path path = FsPath(target);
  const DownloadTarget at{target, [&path](WorkFile& file) { return CreateWorkFile(file, path); },
                          [&path] { RemoveRegularFile(path); }};
  WorkFile file;
  const int32_t result = Fetch(*session, url, parsed, at, file, stop);
  if (result == kDownloadOk && !file.Close()) {
    WriteLog(L"DownloadImage(), can't write file %s", target);
    RemoveRegularFile(path);
    return kDownloadError;
  }
  return result;
}

}  // namespace orvella
