// The sinks that pick a feed answer's outline, its entries and its "art" object's names
// out of walks over its text.
#include "service/art_entries.h"

#include <algorithm>

namespace orvella {
namespace {

// Levels of the reader's tree: the root, its "art" member, the member's entries.
constexpr int kArtDepth = 2;

// The last "art" member of the root: its type, where it begins and its elements.
class CArtSink final : public CValueSink {
 public:
  explicit CArtSink(AnswerOutline& outline) : outline_(outline) {}
  void Begin(Json::ValueType type, const char* start) override {
    outline_.hasArt = true;
    outline_.art = type;
    outline_.artStart = start;
    outline_.artElements = 0;
  }
  CValueSink* Element() override {
    ++outline_.artElements;
    return nullptr;
  }

 private:
  AnswerOutline& outline_;
};

class CRootSink final : public CValueSink {
 public:
  explicit CRootSink(AnswerOutline& outline) : outline_(outline), art_(outline) {}
  void Begin(Json::ValueType type, const char*) override { outline_.root = type; }
  CValueSink* Member(std::string_view name, std::string_view) override {
    return name == "art" ? &art_ : nullptr;  // a later member of a name replaces an earlier one
  }

 private:
  AnswerOutline& outline_;
  CArtSink art_;
};

// One member of an entry that is read: its value, into the entry's stand-in.
class CFieldSink final : public CValueSink {
 public:
  void Reset(Json::Value& entry, const char* name) {
    entry_ = &entry;
    name_ = name;
  }
  void Begin(Json::ValueType type, const char*) override { value_ = Json::Value(type); }
  void Scalar(const Json::Value& value) override { value_ = value; }
  void End() override { (*entry_)[name_] = value_; }

 private:
  Json::Value* entry_ = nullptr;
  const char* name_ = nullptr;
  Json::Value value_;
};

// One entry of the "art" array, made into its stand-in and handed on once read whole.
class CEntrySink final : public CValueSink {
 public:
  CEntrySink(const std::vector<const char*>& names,
             const std::function<void(const Json::Value&)>& onEntry)
      : names_(names), onEntry_(onEntry) {}
  void Begin(Json::ValueType type, const char*) override { entry_ = Json::Value(type); }
  void Scalar(const Json::Value& value) override { entry_ = value; }
  CValueSink* Member(std::string_view name, std::string_view) override {
    for (const char* wanted : names_) {
      if (name != wanted) continue;
      field_.Reset(entry_, wanted);
      return &field_;
    }
    return nullptr;
  }
  void End() override { onEntry_(entry_); }

 private:
  const std::vector<const char*>& names_;
  const std::function<void(const Json::Value&)>& onEntry_;
  Json::Value entry_;
  CFieldSink field_;
};

class CArtArraySink final : public CValueSink {
 public:
  explicit CArtArraySink(CEntrySink& entry) : entry_(entry) {}
  CValueSink* Element() override { return &entry_; }

 private:
  CEntrySink& entry_;
};

// The "art" object's member names: counted, or their tokens' offsets in the text kept.
class CMemberNames final : public CValueSink {
 public:
  CMemberNames(std::string_view text, std::vector<uint64_t>* offsets)
      : text_(text), offsets_(offsets) {}
  CValueSink* Member(std::string_view, std::string_view token) override {
    ++count_;
    if (offsets_ != nullptr)
      offsets_->push_back(static_cast<uint64_t>(token.data() - text_.data()));
    return nullptr;
  }
  std::size_t count() const { return count_; }

 private:
  std::string_view text_;
  std::vector<uint64_t>* offsets_;
  std::size_t count_ = 0;
};

std::string_view FromArt(std::string_view text, const AnswerOutline& outline) {
  return text.substr(static_cast<std::size_t>(outline.artStart - text.data()));
}

// Raised by the sort's comparison when the stop is seen; the sort gives no other way out.
struct SortStopped {};

// Sorts the name tokens at `offsets` by their decoded text, looking at `stop` every few
// thousand comparisons. False when stopped (the order is then unspecified).
bool SortByDecodedName(std::string_view text, std::vector<uint64_t>& offsets,
                       const std::atomic<int32_t>* stop) {
  uint64_t comparisons = 0;
  const auto less = [&](uint64_t a, uint64_t b) {
    if ((++comparisons & 0xFFF) == 0 && stop != nullptr && stop->load() != 0) throw SortStopped{};
    bool before = false;
    SameDecodedString(StringTokenAt(text, text.data() + a), StringTokenAt(text, text.data() + b),
                      before);
    return before;
  };
  try {
    std::sort(offsets.begin(), offsets.end(), less);
  } catch (const SortStopped&) {
    return false;
  }
  return true;
}

}  // namespace

WalkResult OutlineAnswer(std::string_view text, AnswerOutline& outline,
                         const std::atomic<int32_t>* stop) {
  outline = AnswerOutline();
  CRootSink root(outline);
  return WalkJsonValue(text, 1, &root, stop);
}

WalkResult ForEachArtEntry(std::string_view text, const AnswerOutline& outline,
                           const std::vector<const char*>& names,
                           const std::function<void(const Json::Value&)>& onEntry,
                           const std::atomic<int32_t>* stop) {
  CEntrySink entry(names, onEntry);
  CArtArraySink art(entry);
  return WalkJsonValue(FromArt(text, outline), kArtDepth, &art, stop);
}

WalkResult CountArtMembers(std::string_view text, const AnswerOutline& outline, std::size_t& count,
                           const std::atomic<int32_t>* stop) {
  count = 0;
  // Counted first, so the offsets take exactly 8 bytes per member and no growth on top.
  CMemberNames counter(text, nullptr);
  if (WalkJsonValue(FromArt(text, outline), kArtDepth, &counter, stop) != WalkResult::kAccepted) {
    return WalkResult::kStopped;  // the outline's walk accepted it: only a stop ends it here
  }
  std::vector<uint64_t> offsets;
  offsets.reserve(counter.count());
  CMemberNames names(text, &offsets);
  if (WalkJsonValue(FromArt(text, outline), kArtDepth, &names, stop) != WalkResult::kAccepted) {
    return WalkResult::kStopped;
  }
  if (!SortByDecodedName(text, offsets, stop)) return WalkResult::kStopped;
  bool before = false;
  for (std::size_t i = 0; i < offsets.size(); ++i) {
    count += i == 0 || !SameDecodedString(StringTokenAt(text, text.data() + offsets[i - 1]),
                                          StringTokenAt(text, text.data() + offsets[i]), before);
  }
  return WalkResult::kAccepted;
}

}  // namespace orvella
