// What must hold for any input on the road "URL from the service's answer -> local name ->
// list file line -> read back": shared by the libFuzzer target and a randomised test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace orvella::test {

/// Runs one input through the road. Its first byte chooses the case: the bytes as an
/// answer's URL (through the ANSI code page), a raw URL and name pair, or a whole list
/// file. Returns "" when everything held, else what did not. Any thread.
std::string CheckListRoad(const uint8_t* data, std::size_t size);

}  // namespace orvella::test
