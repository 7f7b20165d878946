// Taking a feed answer apart at the entries of its "art" array, token for token as the
// JSON reader reads it, so that each entry can be read on its own.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orvella {

/// A feed answer taken apart: the entries of the root object's "art" array, and the
/// answer with each of them replaced by null.
struct ArtEntries {
  std::vector<std::string_view> entries;  // views into the answer, in order
  std::string frame;                      // the answer, each entry replaced by "null"
};

/// Finds the entries of the last "art" member of the root object of `text`, cutting at
/// the token boundaries the JSON reader (JsonCpp's Reader, comments allowed) sees. Then
/// the reader accepts `text` exactly when it accepts the frame and every entry on its
/// own, and reads the same values from them. Returns false, with `out` unspecified, when
/// the text cannot be taken apart that way: the root is not an object, a root member's
/// name holds an escape (it might spell "art"), the last "art" is not a non-empty array,
/// values nest more than 64 deep, or a token is malformed or missing. Any thread.
bool SplitArtEntries(std::string_view text, ArtEntries& out);

}  // namespace orvella
