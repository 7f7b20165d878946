// The client's construction and its fetch of one service answer.
#include "service/orvella_client.h"

#include <cstdlib>
#include <memory>
#include <string_view>
#include <utility>

#include "base/text_format.h"
#include "net/http_fetch.h"
#include "resources/string_table.h"

namespace orvella {
namespace {
struct FreeBlock {
  void operator()(char* block) const { std::free(block); }
};
}  // namespace

COrvellaClient::COrvellaClient(std::wstring token, std::wstring userName)
    : token(std::move(token)), userName(std::move(userName)) {}

int32_t COrvellaClient::QueryServer(const std::wstring& url, std::string& body) {
  char* block = nullptr;
  uint32_t length = 0;
  const int32_t result = FetchUrl(url, block, length);
  const std::unique_ptr<char, FreeBlock> owned(block);
  if (result != kFetchOk) {
    errorText = Format(kTextConnectionFailed, result);
    return result;
  }
  errorText.clear();
  if (owned != nullptr) {
    // The JSON reader gets the body as a C string: up to its first NUL byte.
    const std::string_view data(owned.get(), length);
    body.assign(data.substr(0, data.find('\0')));
  }
  return result;
}

}  // namespace orvella
