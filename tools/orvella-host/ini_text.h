// Finding things in an INI file's text by line, for messages that name the line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orvella::host {

/// Returns the 1-based number of the line that holds byte `offset` of `text`.
int LineAtOffset(std::string_view text, std::size_t offset);

/// Returns the byte offset where line `line` (1-based) ends, its '\n' included; the
/// text's size when it has fewer lines.
std::size_t EndOfLine(std::string_view text, int line);

/// Returns the 1-based line of `key` in group `group` ("[group]" lines, "key=value"
/// lines; blanks around names ignored), or 0 when it is not there.
int LineOfKey(std::string_view text, const std::string& group, const std::string& key);

/// "PATH:LINE: reason", or "PATH: reason" when `line` is 0.
std::string AtLine(const std::string& path, int line, const std::string& reason);

/// Returns true when `message`, made by AtLine for `path`, names a line. Any thread.
bool NamesLine(const std::string& message, const std::string& path);

}  // namespace orvella::host
