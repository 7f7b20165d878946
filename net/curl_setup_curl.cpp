// The libcurl set-up both transports share.
#include "net/curl_setup_curl.h"

#include <dlfcn.h>

namespace orvella {
namespace {

// Loads libcurl once more, for good (see InitCurlOnce).
void KeepLibcurlLoaded() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&curl_easy_init), &info) != 0 && info.dli_fname != nullptr) {
    ::dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
  }
}

// The result of the one transfer on `multi` that has ended.
CURLcode FinishedResult(CURLM* multi) {
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
    if (message->msg == CURLMSG_DONE) return message->data.result;
  }
  return CURLE_FAILED_INIT;
}

// True once the whole announced body has arrived: a stop no longer matters then.
bool BodyComplete(CURL* easy) {
  curl_off_t announced = -1;
  curl_off_t received = 0;
  return curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced) == CURLE_OK &&
         curl_easy_getinfo(easy, CURLINFO_SIZE_DOWNLOAD_T, &received) == CURLE_OK &&
         announced > 0 && received >= announced;
}

CURLcode MultiFailure(CURLMcode code) {
  return code == CURLM_OUT_OF_MEMORY ? CURLE_OUT_OF_MEMORY : CURLE_FAILED_INIT;
}

}  // namespace

CURLcode InitCurlOnce() {
  static const CURLcode result = [] {
    KeepLibcurlLoaded();
    return curl_global_init(CURL_GLOBAL_DEFAULT);
  }();
  return result;
}

CURLcode PerformWatched(CURL* easy, const std::atomic<int32_t>* stop) {
  CURLM* multi = curl_multi_init();
  if (multi == nullptr) return CURLE_OUT_OF_MEMORY;
  CURLMcode added = curl_multi_add_handle(multi, easy);
  if (added != CURLM_OK) {
    curl_multi_cleanup(multi);
    return MultiFailure(added);
  }
  CURLcode result = CURLE_OK;
  for (;;) {
    int running = 0;
    const CURLMcode performed = curl_multi_perform(multi, &running);
    if (performed != CURLM_OK) {
      result = MultiFailure(performed);
      break;
    }
    if (running == 0) {
      result = FinishedResult(multi);
      break;
    }
    if (stop != nullptr && stop->load() != 0 && !BodyComplete(easy)) {
      result = CURLE_ABORTED_BY_CALLBACK;
      break;
    }
    // Wakes on network activity or libcurl's own timers, else after kStopPollMs.
    const CURLMcode polled = curl_multi_poll(multi, nullptr, 0, kStopPollMs, nullptr);
    if (polled != CURLM_OK) {
      result = MultiFailure(polled);
      break;
    }
  }
  curl_multi_remove_handle(multi, easy);
  curl_multi_cleanup(multi);
  return result;
}

bool SetCommonOptions(CURL* easy, const std::string& wireUrl, const char* agent,
                      curl_slist* headers, long receiveBuffer) {
  bool ok = curl_easy_setopt(easy, CURLOPT_URL, wireUrl.c_str()) == CURLE_OK;
  ok = ok && curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK;
  ok = ok && curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK;
  curl_easy_setopt(easy, CURLOPT_USERAGENT, agent);
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
  curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, receiveBuffer);
  return ok;
}

}  // namespace orvella
