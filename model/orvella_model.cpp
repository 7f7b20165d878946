// The item and feed copy rules and the feed array's growth.
#include "model/orvella_model.h"

#include <atomic>
#include <utility>

namespace orvella {
namespace {
std::atomic<uint64_t> g_itemCopies{0};
}

COrvellaItem::COrvellaItem(const COrvellaItem& other)
    : name(other.name), filename(other.filename), url(other.url) {
  g_itemCopies.fetch_add(1, std::memory_order_relaxed);
}

COrvellaItem& COrvellaItem::operator=(const COrvellaItem& other) {
  name = other.name;
  filename = other.filename;
  url = other.url;
  g_itemCopies.fetch_add(1, std::memory_order_relaxed);
  return *this;
}

uint64_t COrvellaItem::Copies() {
  return g_itemCopies.load(std::memory_order_relaxed);
}

COrvellaFeed::COrvellaFeed(int32_t type, int32_t maxP, std::wstring tags)
    : Type(type), Tags(std::move(tags)), MaxP(maxP) {}

COrvellaFeed& COrvellaFeed::operator=(const COrvellaFeed& other) {
  if (this == &other) return *this;
  Type = other.Type;
  Tags = other.Tags;
  MaxP = other.MaxP;
  Flg = other.Flg;
  items = other.items;
  lastTm = other.lastTm;
  return *this;
}

COrvellaFeed& COrvellaFeed::operator=(COrvellaFeed&& other) noexcept {
  if (this == &other) return *this;
  Type = other.Type;
  Tags = std::move(other.Tags);
  MaxP = other.MaxP;
  Flg = other.Flg;
  items = std::move(other.items);
  lastTm = other.lastTm;
  return *this;
}

void COrvellaFeedArray::SetSize(int32_t n) {
  feeds_.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
}

void COrvellaFeedArray::SetAtGrow(int32_t index, const COrvellaFeed& feed) {
  if (index >= GetSize()) SetSize(index + 1);
  feeds_[static_cast<std::size_t>(index)] = feed;
}

void COrvellaFeedArray::Copy(const COrvellaFeedArray& source) {
  if (this == &source) return;
  SetSize(source.GetSize());
  for (int32_t i = 0; i < source.GetSize(); ++i) (*this)[i] = source[i];
}

void COrvellaConfig::AssignConfig(const COrvellaConfig& source) {
  feeds.Copy(source.feeds);
  token = source.token;
  user = source.user;
}

}  // namespace orvella
