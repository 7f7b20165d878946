// libFuzzer target: the road from an answer's URL to a list line and back.
#include <cstdio>
#include <cstdlib>

#include "tests/support/list_name_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string problem = orvella::test::CheckListRoad(data, size);
  if (!problem.empty()) {
    std::fprintf(stderr, "list road: %s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
