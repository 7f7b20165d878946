// The memory a feed answer's reading takes, counted by this program's own allocator: at
// its peak no more than twice the answer's body besides the body itself and the items,
// whatever the answer's shape (a tree of the whole answer takes many times the body).
#include <gtest/gtest.h>
#include <json/json.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "service/feed_answer.h"
#include "tests/support/small_entry_answer.h"

namespace {

// Every block carries its size in front of it, so the count can be taken back on release.
constexpr std::size_t kHeader = alignof(std::max_align_t);
std::atomic<std::size_t> g_inUse{0};
std::atomic<std::size_t> g_peak{0};

void* Allocate(std::size_t n) {
  void* block = std::malloc(n + kHeader);
  if (block == nullptr) return nullptr;
  *static_cast<std::size_t*>(block) = n;
  const std::size_t now = g_inUse.fetch_add(n) + n;
  std::size_t peak = g_peak.load();
  while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
  }
  return static_cast<char*>(block) + kHeader;
}

void Release(void* p) noexcept {
  if (p == nullptr) return;
  char* block = static_cast<char*>(p) - kHeader;
  g_inUse.fetch_sub(*reinterpret_cast<std::size_t*>(block));
  std::free(block);
}

void* AllocateOrThrow(std::size_t n) {
  if (void* p = Allocate(n)) return p;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t n) {
  return AllocateOrThrow(n);
}
void* operator new[](std::size_t n) {
  return AllocateOrThrow(n);
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  return Allocate(n);
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
  return Allocate(n);
}
void operator delete(void* p) noexcept {
  Release(p);
}
void operator delete[](void* p) noexcept {
  Release(p);
}
void operator delete(void* p, std::size_t) noexcept {
  Release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  Release(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  Release(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  Release(p);
}

namespace orvella::test {
namespace {

constexpr std::size_t kBody = std::size_t{2} << 20;

// `count` copies of `piece`, joined by commas.
std::string Repeated(const std::string& piece, std::size_t count) {
  std::string text;
  text.reserve(count * (piece.size() + 1));
  for (std::size_t i = 0; i < count; ++i) text += (i == 0 ? "" : ",") + piece;
  return text;
}

struct Shape {
  const char* title;
  std::string (*make)();
};

void PrintTo(const Shape& shape, std::ostream* out) {
  *out << shape.title;
}

class FeedAnswerMemory : public ::testing::TestWithParam<Shape> {};

TEST_P(FeedAnswerMemory, PeakIsAtMostTwiceTheBodyBesidesItAndTheItems) {
  const std::string body = GetParam().make();
  ASSERT_GE(body.size(), kBody);
  COrvellaItemList items;
  const std::size_t before = g_inUse.load();
  ASSERT_GT(before, 0u) << "the body was not counted: this program's allocator is not in use";
  g_peak.store(before);
  try {
    ReadFeedAnswer(body, kFeedTypeWallpapers, items);
  } catch (const Json::LogicError&) {
    // the shapes that end so still take their memory on the way
  }
  const std::size_t itemBytes = g_inUse.load() - before;
  const std::size_t extra = g_peak.load() - before;
  EXPECT_LE(extra, 2 * body.size() + itemBytes)
      << "peak " << extra << " bytes beyond the body of " << body.size() << " bytes, items "
      << itemBytes << " bytes, " << items.size() << " items";
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, FeedAnswerMemory,
    ::testing::Values(Shape{"SmallEntries", [] { return SmallEntryAnswer(kBody, 10); }},
                      Shape{"LargeMemberBesideArt",
                            [] {
                              return "{\"meta\":[" + Repeated("0", kBody / 2) +
                                     "],\"art\":[{\"wall_url\":\"u\"}]}";
                            }},
                      Shape{"OneLargeEntry",
                            [] {
                              return "{\"art\":[{\"wall_url\":\"u\",\"junk\":[" +
                                     Repeated("{}", kBody / 3) + "]}]}";
                            }},
                      Shape{"ArtObjectOfManyMembers",
                            [] {
                              std::string text = "{\"art\":{";
                              for (std::size_t i = 0; text.size() < kBody; ++i) {
                                text += (i == 0 ? "\"" : ",\"") + std::to_string(i) + "\":0";
                              }
                              return text + "}}";
                            }}),
    [](const ::testing::TestParamInfo<Shape>& info) { return info.param.title; });

}  // namespace
}  // namespace orvella::test
