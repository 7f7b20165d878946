// The art endpoint's answer turned into a feed's items.
#pragma once

#include <atomic>
#include <cstdint>
#include <string_view>

#include "model/orvella_model.h"

namespace orvella {

/// Reads the answer `text` (JSON) of a feed query of type `type` into `items`, which it
/// appends to: one item per entry of the root's "art" array that has a URL ("clock_url"
/// for clock feeds, else "wall_url"), in order. Returns 1 on success (possibly no item);
/// 0 without a log line when the text is not accepted as JSON; 0 with "QueryFeed: meta is
/// missing" when "art" is absent or null; 0 with "QueryFeed: stopped while reading the
/// answer" and `items` unchanged once `stop` (may be null) is set. Logs "QueryFeed:
/// data.size()=%d" before reading the entries. Throws Json::LogicError for a wrongly typed
/// answer (the items read before the faulty entry stay appended), and the reader's
/// Json::RuntimeError for documents nested deeper than it reads.
///
/// The answer is read as the JSON reader reads it, with the same results, but without a
/// tree of it (which takes many times the text): walks over the text find its shape and
/// then one entry at a time, each handed to the library as a small value. Besides `text`
/// and the items it holds one entry's values, or 8 bytes per member of an "art" object.
/// Sees the stop before each value it reads. Any thread (the worker's, for queries).
int32_t ReadFeedAnswer(std::string_view text, int32_t type, COrvellaItemList& items,
                       const std::atomic<int32_t>* stop = nullptr);

/// ReadFeedAnswer over one JSON tree of the whole answer, always. Any thread.
int32_t ReadFeedAnswerAsOneTree(std::string_view text, int32_t type, COrvellaItemList& items);

}  // namespace orvella
