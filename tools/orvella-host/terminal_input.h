// Questions asked on the user's terminal, also when standard input and output are taken.
#pragma once

#include <string>

namespace orvella::host {

/// Writes `prompt` to the controlling terminal (the console on Windows) and reads one
/// line from it, without showing what is typed when `hidden` (a password). Returns false
/// when the process has no terminal, or when reading failed; `answer` is then empty. The
/// line's end is not kept. A stop signal while a hidden line is read shows typing again
/// before it ends the process. Host's thread.
bool AskTerminal(const std::string& prompt, bool hidden, std::string& answer);

}  // namespace orvella::host
