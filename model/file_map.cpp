// The map of local files: records side by side and an open-addressing index over them.
#include "model/file_map.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstring>
#include <random>
#include <stdexcept>

namespace orvella {
namespace {

constexpr std::size_t kMinSlots = 8;
// Positions are kept in 32 bits, and so is the hash that picks a slot.
constexpr std::size_t kMaxRecords = std::size_t{1} << 31;

constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15u;

uint64_t Word(const unsigned char* at) {
  uint64_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

uint64_t Step(uint64_t state, uint64_t word) {
  state = (state ^ word) * kMultiplier;
  return state ^ (state >> 32);
}

// The URLs come from the service. With a hash anyone can compute in advance, a hostile
// answer could offer thousands of URLs that all land in one run of slots and make every
// lookup walk all of them. A seed drawn once per process makes the places unpredictable;
// nothing else depends on them (records keep the order they were added in).
uint64_t ProcessSeed() {
  static const uint64_t seed = []() -> uint64_t {
    try {
      std::random_device source;
      return (uint64_t{source()} << 32) ^ source();
    } catch (...) {  // no entropy source: where the seed itself lies is still unknown
      return reinterpret_cast<uintptr_t>(&seed) * kMultiplier;
    }
  }();
  return seed;
}

// Hashes the URL's bytes eight at a time in four independent lanes (URLs are long, and
// the reader hashes every one of them). Each step is a bijection of its lane, so texts of
// one length that differ in one word always differ in that lane. The last 32 bytes are
// read again as a whole block rather than copied out piece by piece.
uint32_t HashUrl(std::wstring_view url) {
  const auto* at = reinterpret_cast<const unsigned char*>(url.data());
  const std::size_t size = url.size() * sizeof(wchar_t);
  constexpr std::size_t kBlock = 32;
  uint64_t a = size ^ ProcessSeed();
  uint64_t b = kMultiplier;
  uint64_t c = ~kMultiplier;
  uint64_t d = kMultiplier >> 1;
  const auto step = [&](const unsigned char* block) {
    a = Step(a, Word(block));
    b = Step(b, Word(block + 8));
    c = Step(c, Word(block + 16));
    d = Step(d, Word(block + 24));
  };
  if (size >= kBlock) {
    const unsigned char* const last = at + size - kBlock;
    for (; at < last; at += kBlock) step(at);
    step(last);
  } else {
    unsigned char tail[kBlock] = {};
    std::memcpy(tail, at, size);
    step(tail);
  }
  uint64_t h = Step(Step(Step(a, b), c), d);
  // Final mix, so that the low bits that pick the slot depend on every input bit.
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDu;
  h ^= h >> 33;
  return static_cast<uint32_t>(h);
}

std::size_t SlotsFor(std::size_t wanted) {
  return std::bit_ceil(std::max<std::size_t>(wanted, 1));
}

}  // namespace

CFileMap::CFileMap() {
  ProcessSeed();
}

CFileMap::Compaction::~Compaction() {
  for (; next < files.count_; ++next) Keep();
  if (kept != files.count_) {
    files.count_ = kept;
    files.Reindex();
  }
}

void CFileMap::RemoveAll() {
  count_ = 0;
  std::fill(slots_.begin(), slots_.end(), Slot{});
}

void CFileMap::InitHashTable(std::size_t buckets) {
  // Never more than a believable table for a count read from a file, never fewer slots
  // than keep the records at most half of them.
  const std::size_t wanted = std::max(std::min(buckets, kMaxPresizedSlots), 2 * count_);
  const std::size_t slots = SlotsFor(wanted);
  if (slots != slots_.size()) Rehash(slots);
}

CFileMap::Probe CFileMap::Seek(std::wstring_view url, uint32_t hash) const {
  const std::size_t mask = Mask();
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    const Slot slot = slots_[i];
    if (slot.position1 == 0) return {i, false};
    if (slot.hash == hash && records_[slot.position1 - 1].url == url) return {i, true};
  }
}

const CFileData* CFileMap::Find(std::wstring_view url) const {
  if (count_ == 0) return nullptr;
  const Probe probe = Seek(url, HashUrl(url));
  return probe.found ? &records_[slots_[probe.slot].position1 - 1] : nullptr;
}

CFileData* CFileMap::Find(std::wstring_view url) {
  return const_cast<CFileData*>(std::as_const(*this).Find(url));
}

void CFileMap::ReserveOne() {
  if (2 * (count_ + 1) <= slots_.size()) return;
  if (count_ + 1 > kMaxRecords) throw std::length_error("CFileMap: too many records");
  Rehash(std::max({kMinSlots, 2 * slots_.size(), SlotsFor(2 * (count_ + 1))}));
}

void CFileMap::Rehash(std::size_t slotCount) {
  std::vector<Slot> fresh(slotCount);
  const std::size_t mask = slotCount - 1;
  for (const Slot slot : slots_) {
    if (slot.position1 == 0) continue;
    std::size_t i = slot.hash & mask;
    while (fresh[i].position1 != 0) i = (i + 1) & mask;
    fresh[i] = slot;
  }
  slots_.swap(fresh);
}

void CFileMap::Reindex() {
  std::fill(slots_.begin(), slots_.end(), Slot{});
  const std::size_t mask = Mask();
  for (std::size_t position = 0; position < count_; ++position) {
    const uint32_t hash = HashUrl(records_[position].url);
    std::size_t i = hash & mask;
    while (slots_[i].position1 != 0) i = (i + 1) & mask;
    slots_[i] = {static_cast<uint32_t>(position + 1), hash};
  }
}

CFileData& CFileMap::NextRecord() {
  if (count_ < records_.size()) return records_[count_];
  return records_.emplace_back();
}

void CFileMap::Occupy(std::size_t slot, uint32_t hash) {
  slots_[slot] = {static_cast<uint32_t>(count_ + 1), hash};
  ++count_;
}

CFileData& CFileMap::Set(CFileData record) {
  const uint32_t hash = HashUrl(record.url);
  ReserveOne();
  const Probe probe = Seek(record.url, hash);
  if (probe.found) return records_[slots_[probe.slot].position1 - 1] = std::move(record);
  CFileData& stored = NextRecord();
  stored = std::move(record);
  Occupy(probe.slot, hash);
  return stored;
}

CFileMap::UrlHash CFileMap::Hash(std::wstring_view url) {
  return {HashUrl(url)};
}

void CFileMap::Prefetch(UrlHash hash) const {
  if (!slots_.empty()) __builtin_prefetch(&slots_[hash.value & Mask()]);
}

CFileData& CFileMap::FindOrAdd(std::wstring&& url, UrlHash urlHash) {
  const uint32_t hash = urlHash.value;
  assert(hash == HashUrl(url));
  ReserveOne();
  const Probe probe = Seek(url, hash);
  if (probe.found) return records_[slots_[probe.slot].position1 - 1];
  // A spare record is refilled in place: its texts keep their memory, and its old URL's
  // becomes the caller's.
  CFileData& added = NextRecord();
  added.url.swap(url);
  added.localName.clear();
  added.reserved.clear();
  added.inUse = 0;
  Occupy(probe.slot, hash);
  return added;
}

std::size_t CFileMap::SlotOf(std::wstring_view url, std::size_t position) const {
  const std::size_t mask = Mask();
  std::size_t i = HashUrl(url) & mask;
  while (slots_[i].position1 != position + 1) i = (i + 1) & mask;
  return i;
}

void CFileMap::RemoveSlot(std::size_t slot) {
  const std::size_t position = slots_[slot].position1 - 1;
  // Backward-shift deletion: every record after the hole that may live there moves up,
  // so that no probe ever stops early at the hole.
  const std::size_t mask = Mask();
  std::size_t hole = slot;
  for (std::size_t i = (hole + 1) & mask; slots_[i].position1 != 0; i = (i + 1) & mask) {
    const std::size_t home = slots_[i].hash & mask;
    if (((i - home) & mask) >= ((i - hole) & mask)) {
      slots_[hole] = slots_[i];
      hole = i;
    }
  }
  slots_[hole] = Slot{};
  // The last record fills the place; the one removed becomes a spare.
  const std::size_t last = count_ - 1;
  if (position != last) {
    std::swap(records_[position], records_[last]);
    slots_[SlotOf(records_[position].url, last)].position1 = static_cast<uint32_t>(position + 1);
  }
  --count_;
}

bool CFileMap::Remove(std::wstring_view url) {
  if (count_ == 0) return false;
  const Probe probe = Seek(url, HashUrl(url));
  if (probe.found) RemoveSlot(probe.slot);
  return probe.found;
}

CFileMap::iterator CFileMap::Remove(iterator at) {
  const auto position = static_cast<std::size_t>(at - records_.begin());
  RemoveSlot(SlotOf(at->url, position));
  return records_.begin() + static_cast<std::ptrdiff_t>(position);
}

}  // namespace orvella
