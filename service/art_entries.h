// The parts of a feed answer that reading it needs (the root's type, its "art" member, each
// entry of that member), found by walks over the answer's text rather than in a tree of it.
#pragma once

#include <json/json.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "service/json_walk.h"

namespace orvella {

/// What the reader's tree of an answer holds at its top.
struct AnswerOutline {
  Json::ValueType root = Json::nullValue;
  bool hasArt = false;                    // the root is an object with an "art" member
  Json::ValueType art = Json::nullValue;  // the type of its last "art" member
  const char* artStart = nullptr;         // where that member's value begins in the text
  std::size_t artElements = 0;            // the member's elements, when it is an array
};

/// Walks the whole answer `text` as the reader parses a document and fills `outline`.
/// Returns what the walk returned (`outline` is complete only for kAccepted). Throws the
/// reader's Json::RuntimeError where it would raise it. Any thread.
WalkResult OutlineAnswer(std::string_view text, AnswerOutline& outline,
                         const std::atomic<int32_t>* stop);

/// Calls `onEntry` once for each element of the "art" array that `outline` found in `text`,
/// in order, with a value that answers every read of the members `names` as the element in
/// the reader's tree would: the element itself when it is a scalar; an object holding just
/// the named members present (scalars as read, containers empty) when it is an object; an
/// empty array otherwise. One element's value at a time exists. Returns kAccepted, or
/// kStopped once `stop` is seen. Lets what `onEntry` throws through. Any thread.
WalkResult ForEachArtEntry(std::string_view text, const AnswerOutline& outline,
                           const std::vector<const char*>& names,
                           const std::function<void(const Json::Value&)>& onEntry,
                           const std::atomic<int32_t>* stop);

/// Sets `count` to the number of distinct member names (decoded) of the "art" object that
/// `outline` found in `text`, the size of the reader's tree of it. Takes 8 bytes per member
/// for the count. Returns kAccepted, or kStopped once `stop` is seen. Any thread.
WalkResult CountArtMembers(std::string_view text, const AnswerOutline& outline, std::size_t& count,
                           const std::atomic<int32_t>* stop);

}  // namespace orvella
