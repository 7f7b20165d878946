// The map of local files against std::unordered_map over long random runs, and its table
// sizes.
#include "model/file_map.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

namespace orvella::test {
namespace {

using Reference = std::unordered_map<std::wstring, CFileData>;

bool Same(const CFileData& a, const CFileData& b) {
  return a.localName == b.localName && a.url == b.url && a.reserved == b.reserved &&
         a.inUse == b.inUse;
}

// Keys that stress the hash and the probing: long ones that differ only at the end, ones
// that differ only in case, the empty one, and lengths on both sides of the hash's
// 16-byte steps.
std::vector<std::wstring> KeyPool() {
  std::vector<std::wstring> keys = {L"", L"a", L"A"};
  const std::wstring stem = L"http://127.0.0.1:8780/img/wall/item/1920x1080/item-";
  for (int i = 0; i < 3000; ++i) keys.push_back(stem + std::to_wstring(i) + L".jpg");
  for (int i = 0; i < 300; ++i) keys.push_back(stem + std::to_wstring(i) + L".JPG");
  for (std::size_t n = 1; n <= 40; ++n) keys.push_back(std::wstring(n, L'k'));
  return keys;
}

class FileMapDifferential : public ::testing::Test {
 protected:
  // The whole map against the reference: same count, every record found under its own
  // URL and equal to the reference's, each key once, the index at most half full.
  void ExpectSame(const char* step) {
    ASSERT_EQ(files.GetCount(), reference.size()) << step;
    ASSERT_EQ(files.IsEmpty(), reference.empty()) << step;
    ASSERT_GE(files.GetHashTableSize(), 2 * files.GetCount()) << step;
    std::size_t walked = 0;
    for (const CFileData& record : files) {
      ++walked;
      const auto it = reference.find(record.url);
      ASSERT_NE(it, reference.end()) << step;
      ASSERT_TRUE(Same(record, it->second)) << step;
      ASSERT_EQ(files.Find(record.url), &record) << step;
    }
    ASSERT_EQ(walked, reference.size()) << step;
  }

  std::vector<std::wstring> Order() const {
    std::vector<std::wstring> urls;
    for (const CFileData& record : files) urls.push_back(record.url);
    return urls;
  }

  CFileData Random(const std::wstring& url) {
    return {L"n" + std::to_wstring(random() % 1000) + L".jpg", url,
            random() % 4 == 0 ? L"kept" : L"", static_cast<int32_t>(random() % 2)};
  }

  CFileMap files;
  Reference reference;
  std::mt19937 random{20240611};
};

TEST_F(FileMapDifferential, LongRandomRunAgreesWithUnorderedMap) {
  const std::vector<std::wstring> keys = KeyPool();
  // Phases of 1,500 steps: growing over the whole pool, shrinking, and churning a few
  // keys, so that the table grows through several sizes, over records left by removals.
  // Thresholds out of 10,000 for: set, find-or-add, find, remove by URL, by position, a
  // remove-if pass, a walk that removes, table sizing; the rest clears the map.
  struct Phase {
    std::size_t pool;
    unsigned limits[8];
  };
  const Phase grow{keys.size(), {4500, 7000, 9000, 9700, 9950, 9960, 9965, 10000}};
  const Phase shrink{keys.size(), {1500, 2500, 5000, 8000, 9500, 9800, 9900, 9980}};
  const Phase churn{16, {3000, 4500, 7000, 8500, 9000, 9400, 9700, 9900}};
  const Phase phases[] = {grow, grow, shrink, churn, grow, grow, grow, shrink, churn};
  std::set<std::size_t> tableSizes;
  std::size_t largest = 0;
  for (int step = 0; step < 13500; ++step) {
    const Phase& phase = phases[step / 1500];
    const std::wstring& key = keys[random() % phase.pool];
    const unsigned op = random() % 10000;
    bool whole = step % 50 == 0;  // the whole map is compared then and after passes
    if (op < phase.limits[0]) {
      const CFileData record = Random(key);
      const CFileData& stored = files.Set(record);
      EXPECT_TRUE(Same(stored, record));
      reference[key] = record;
    } else if (op < phase.limits[1]) {
      files.Prefetch(CFileMap::Hash(key));
      CFileData& record = files.FindOrAdd(std::wstring(key), CFileMap::Hash(key));
      if (reference.count(key) == 0) {
        EXPECT_TRUE(Same(record, CFileData{L"", key, L"", 0}));
        reference[key] = record;
      }
      record.localName = reference[key].localName = L"again.jpg";
    } else if (op < phase.limits[2]) {
      // Found (or not) below, with every other check of the key.
    } else if (op < phase.limits[3]) {
      EXPECT_EQ(files.Remove(key), reference.erase(key) == 1);
    } else if (op < phase.limits[4]) {
      if (files.IsEmpty()) continue;
      // Removing by position: the last record, or any other.
      const std::size_t at = random() % 3 == 0 ? files.GetCount() - 1 : random() % files.GetCount();
      const std::wstring url = (files.begin() + static_cast<std::ptrdiff_t>(at))->url;
      const bool last = at + 1 == files.GetCount();
      const auto next = files.Remove(files.begin() + static_cast<std::ptrdiff_t>(at));
      reference.erase(url);
      EXPECT_EQ(next - files.begin(), static_cast<std::ptrdiff_t>(at));
      EXPECT_EQ(next == files.end(), last);
      EXPECT_EQ(files.Find(url), nullptr);
      whole = true;
    } else if (op < phase.limits[5]) {
      // A pass that may be cut short by an exception: what it decided stays decided, the
      // records kept keep their order.
      std::vector<std::wstring> expected;
      std::size_t calls = 0;
      const std::size_t throwAt = random() % 4 == 0 ? random() % (files.GetCount() + 1) : SIZE_MAX;
      const unsigned salt = random();
      const auto removes = [salt](const CFileData& record) {
        return (std::hash<std::wstring>{}(record.url) ^ salt) % 3 == 0;
      };
      for (const CFileData& record : files) {
        if (calls++ >= throwAt || !removes(record)) {
          expected.push_back(record.url);
        } else {
          reference.erase(record.url);
        }
      }
      calls = 0;
      try {
        files.RemoveIf([&](const CFileData& record) {
          if (calls++ == throwAt) throw std::runtime_error("cut");
          return removes(record);
        });
        EXPECT_GE(throwAt, calls);
      } catch (const std::runtime_error&) {
        EXPECT_EQ(calls, throwAt + 1);
      }
      EXPECT_EQ(Order(), expected);
      whole = true;
    } else if (op < phase.limits[6]) {
      // Removing the record just visited while walking visits every other one once.
      std::set<std::wstring> visited;
      const std::size_t before = files.GetCount();
      for (auto it = files.begin(); it != files.end();) {
        EXPECT_TRUE(visited.insert(it->url).second);
        if (it->inUse == 0) {
          reference.erase(it->url);
          it = files.Remove(it);
        } else {
          ++it;
        }
      }
      EXPECT_EQ(visited.size(), before);
      whole = true;
    } else if (op < phase.limits[7]) {
      const std::size_t sizes[] = {0, 1, 17, 2523, 2 * files.GetCount() + 1, random() % 10000};
      files.InitHashTable(sizes[random() % 6]);
      whole = true;
    } else {
      files.RemoveAll();
      reference.clear();
      whole = true;
    }
    ASSERT_EQ(files.GetCount(), reference.size()) << step;
    const CFileData* found = files.Find(key);
    const auto it = reference.find(key);
    ASSERT_EQ(found != nullptr, it != reference.end()) << step;
    if (found != nullptr) {
      ASSERT_TRUE(Same(*found, it->second)) << step;
    }
    if (whole) ExpectSame(std::to_string(step).c_str());
    if (HasFatalFailure()) return;
    tableSizes.insert(files.GetHashTableSize());
    largest = std::max(largest, files.GetCount());
  }
  // The run itself reached what it is for: a large map and many table sizes.
  EXPECT_GT(largest, 1000u);
  EXPECT_GE(tableSizes.size(), 10u);
}

void Add(CFileMap& files, std::wstring url) {
  const CFileMap::UrlHash hash = CFileMap::Hash(url);
  files.FindOrAdd(std::move(url), hash);
}

TEST(FileMap, TableSizesAndTheirLimits) {
  CFileMap files;
  files.Prefetch(CFileMap::Hash(L"none"));  // no table yet
  EXPECT_EQ(files.GetHashTableSize(), 0u);
  EXPECT_EQ(files.Find(L"none"), nullptr);
  EXPECT_FALSE(files.Remove(L"none"));
  const std::pair<std::size_t, std::size_t> sizes[] = {
      {0, 1},
      {1, 1},
      {5, 8},
      {8, 8},
      {2523, 4096},
      {CFileMap::kMaxPresizedSlots, CFileMap::kMaxPresizedSlots},
      {CFileMap::kMaxPresizedSlots + 1, CFileMap::kMaxPresizedSlots},  // a count not believed
      {SIZE_MAX, CFileMap::kMaxPresizedSlots},
  };
  for (const auto& [buckets, slots] : sizes) {
    files.InitHashTable(buckets);
    EXPECT_EQ(files.GetHashTableSize(), slots) << buckets;
  }
  // At most half full: four records fit eight slots, the fifth doubles them.
  files.InitHashTable(8);
  for (int i = 0; i < 4; ++i) Add(files, L"u" + std::to_wstring(i));
  EXPECT_EQ(files.GetHashTableSize(), 8u);
  Add(files, L"u4");
  EXPECT_EQ(files.GetHashTableSize(), 16u);
  // Sizing never drops below what the records need, and loses none of them.
  for (int i = 5; i < 100; ++i) Add(files, L"u" + std::to_wstring(i));
  files.InitHashTable(1);
  EXPECT_EQ(files.GetHashTableSize(), 256u);
  files.RemoveAll();
  EXPECT_EQ(files.GetHashTableSize(), 256u);
  EXPECT_EQ(files.Find(L"u7"), nullptr);
}

}  // namespace
}  // namespace orvella::test
