// The map of local files: CFileData records found by their own URL.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/orvella_model.h"

namespace orvella {

/// Local files keyed by download URL (exact, case-sensitive keys). The key is the
/// record's own `url`, held once: a record's `url` must not be changed while it is in the
/// map. Records lie side by side in the order they were added; removing one moves the last
/// record into its place. Records removed keep their texts' memory for the records added
/// next, since the worker reads the whole list again at every start of its loop.
/// Not synchronised: the worker thread is its only user.
class CFileMap {
 public:
  using iterator = std::vector<CFileData>::iterator;
  using const_iterator = std::vector<CFileData>::const_iterator;

  /// Most slots InitHashTable sets up ahead of the records: a list file's count is not
  /// believed beyond this (the table still grows as records come).
  static constexpr std::size_t kMaxPresizedSlots = std::size_t{1} << 22;

  /// Draws the process's hash seed, if no map did so before, on the constructing thread
  /// (the host's, for the engine's map): on Windows the first draw looks up the C runtime's
  /// random source under the loader lock, which a worker must never wait for while the
  /// module is being unloaded.
  CFileMap();
  CFileMap(const CFileMap&) = delete;
  CFileMap& operator=(const CFileMap&) = delete;

  /// Returns the number of records.
  std::size_t GetCount() const { return count_; }
  bool IsEmpty() const { return count_ == 0; }

  /// Removes every record; the table keeps its size.
  void RemoveAll();

  /// Sizes the table for `buckets` slots, rounded up to a power of two, at most
  /// kMaxPresizedSlots, and never below what the records held need. Allocation failure
  /// throws std::bad_alloc with the map unchanged.
  void InitHashTable(std::size_t buckets);
  /// Returns the number of slots of the table (0 before the first record or sizing).
  std::size_t GetHashTableSize() const { return slots_.size(); }

  /// Returns the record stored under `url`, or null.
  CFileData* Find(std::wstring_view url);
  const CFileData* Find(std::wstring_view url) const;

  /// Stores `record` under its `url`, replacing a record already there. Returns the stored
  /// record. Allocation failure throws with the map unchanged.
  CFileData& Set(CFileData record);

  /// The hash that places a URL in the table; it depends on the URL's text only.
  struct UrlHash {
    uint32_t value;
  };
  /// Returns the hash of `url`, for Prefetch and FindOrAdd.
  static UrlHash Hash(std::wstring_view url);

  /// Asks the processor to bring the table's place for `hash` into the cache, so that a
  /// FindOrAdd after some other work does not wait for memory. No effect otherwise.
  void Prefetch(UrlHash hash) const;

  /// Returns the record stored under `url`, whose hash is `hash` (Hash(url)); when there
  /// is none, adds one with that `url`, empty texts otherwise and `inUse` 0. The text of
  /// `url` goes into the added record as it is, and `url` is left with unspecified
  /// content, its memory fit to be filled again (the reader decodes its next line into
  /// it). Allocation failure throws with the map unchanged.
  CFileData& FindOrAdd(std::wstring&& url, UrlHash hash);

  /// Removes the record stored under `url`; returns false when there was none.
  bool Remove(std::wstring_view url);

  /// Removes the record at `at` and returns the same position, which now holds the
  /// record that was last (or is the end): a walk that removes as it goes visits every
  /// other record exactly once.
  iterator Remove(iterator at);

  /// Calls `remove` once for every record, in order, and removes those it returns true for;
  /// the records kept stay in their order. `remove` must not use the map. An exception from
  /// `remove` leaves the records decided so far removed and passes on. Returns how many
  /// records were removed.
  template <class Predicate>
  std::size_t RemoveIf(Predicate remove) {
    Compaction pass(*this);
    for (; pass.next < count_; ++pass.next) {
      if (!remove(static_cast<const CFileData&>(records_[pass.next]))) pass.Keep();
    }
    return count_ - pass.kept;
  }

  iterator begin() { return records_.begin(); }
  iterator end() { return records_.begin() + static_cast<std::ptrdiff_t>(count_); }
  const_iterator begin() const { return records_.begin(); }
  const_iterator end() const { return records_.begin() + static_cast<std::ptrdiff_t>(count_); }

 private:
  // One place of the index: the record's position + 1 (0: free) and its URL's hash.
  struct Slot {
    uint32_t position1 = 0;
    uint32_t hash = 0;
  };
  struct Probe {
    std::size_t slot;
    bool found;
  };

  // Keeps the records a RemoveIf pass keeps at the front, in order, and puts the index
  // right when the pass ends, however it ends.
  struct Compaction {
    explicit Compaction(CFileMap& map) : files(map) {}
    ~Compaction();
    void Keep() {
      if (kept != next) std::swap(files.records_[kept], files.records_[next]);
      ++kept;
    }
    CFileMap& files;
    std::size_t kept = 0;
    std::size_t next = 0;
  };

  std::size_t Mask() const { return slots_.size() - 1; }
  // The slot holding `url` when found, else the free slot where it would go.
  Probe Seek(std::wstring_view url, uint32_t hash) const;
  // Makes room in the index for one more record.
  void ReserveOne();
  // Rebuilds the index with `slotCount` slots (a power of two) from the current one.
  void Rehash(std::size_t slotCount);
  // Rebuilds the index from the records themselves (after a pass moved them).
  void Reindex();
  // The place the next record goes to: a spare record, or a new one at the end.
  CFileData& NextRecord();

  // Stores the record at position count_ in the free `slot`.
  void Occupy(std::size_t slot, uint32_t hash);
  // Removes the record the index holds in `slot`.
  void RemoveSlot(std::size_t slot);
  // The slot that points at `position`, where the record with `url` is held.
  std::size_t SlotOf(std::wstring_view url, std::size_t position) const;

  std::vector<CFileData> records_;  // [0, count_) held, in order; the rest spare
  std::size_t count_ = 0;
  std::vector<Slot> slots_;  // open addressing, linear probing, at most half full
};

}  // namespace orvella
