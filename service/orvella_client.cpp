// The client's construction and its fetch of one service answer.
#include "service/orvella_client.h"

#include <cstdlib>
#include <string_view>
#include <utility>

#include "base/text_format.h"
#include "net/http_fetch.h"
#include "resources/string_table.h"
#include "service/server_address.h"

namespace orvella {

ServiceAnswer::~ServiceAnswer() {
  std::free(block_);
}

std::string_view ServiceAnswer::Text() const {
  if (block_ == nullptr) return {};
  const std::string_view data(block_, length_);
  return data.substr(0, data.find('\0'));
}

COrvellaClient::COrvellaClient(std::wstring token, std::wstring userName,
                               const std::atomic<int32_t>* stop)
    : token(std::move(token)), userName(std::move(userName)), watch_{stop} {}

bool COrvellaClient::StopRequested() const {
  return watch_.stop != nullptr && watch_.stop->load() != 0;
}

int32_t COrvellaClient::QueryServer(const std::wstring& url, ServiceAnswer& answer) {
  std::free(answer.block_);
  answer.block_ = nullptr;
  answer.length_ = 0;
  const int32_t result = FetchUrlWatched(url, watch_, answer.block_, answer.length_, &reply);
  if (result != kFetchOk) {
    errorText = Format(kTextConnectionFailed, result);
    return result;
  }
  errorText.clear();
  return result;
}

bool COrvellaClient::EndpointUrl(const wchar_t* path, std::wstring& url) {
  const ServerAddress address = ReadServerAddress();
  if (address.usable) {
    url = address.base + path;
    return true;
  }
  if (!addressRefused_) LogAddressRefusal(address);
  addressRefused_ = true;
  reply = FetchReply{};
  errorText = Format(kTextConnectionFailed, kFetchOpenFailed);
  return false;
}

int32_t COrvellaClient::QueryServer(const std::wstring& url, std::string& body) {
  ServiceAnswer answer;
  const int32_t result = QueryServer(url, answer);
  if (result == kFetchOk && answer.block_ != nullptr) body.assign(answer.Text());
  return result;
}

}  // namespace orvella
