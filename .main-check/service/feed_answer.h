// The art endpoint's answer turned into a feed's items.
#pragma once

#include <cstdint>
#include <string_view>

#include "model/orvella_model.h"

namespace orvella {

/// Reads the answer `text` (JSON) of a feed query of type `type` into `items`, which it
/// appends to: one item per entry of the root's "art" array that has a URL ("clock_url"
/// for clock feeds, else "wall_url"), in order. Returns 1 on success (possibly no item);
/// 0 without a log line when the text is not accepted as JSON; 0 with "QueryFeed: meta is
/// missing" when "art" is absent or null. Logs "QueryFeed: data.size()=%d" before reading
/// the entries. Throws Json::LogicError for a wrongly typed answer (the items read before
/// the faulty entry stay appended), and the reader's Json::RuntimeError for documents
/// nested deeper than it reads.
///
/// Memory: the entries of the "art" array are read one at a time, so besides `text` and
/// the items it holds one entry's JSON tree at a time, not a tree of the whole answer
/// (which takes about eight times the text). Answers it cannot take apart safely (deep
/// nesting, an escaped member name at the root, anything not well formed) are read as
/// one tree, with the same results. Any thread.
int32_t ReadFeedAnswer(std::string_view text, int32_t type, COrvellaItemList& items);

/// ReadFeedAnswer over one JSON tree of the whole answer, always. Any thread.
int32_t ReadFeedAnswerAsOneTree(std::string_view text, int32_t type, COrvellaItemList& items);

}  // namespace orvella
