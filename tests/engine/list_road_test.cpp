// The list road's check on inputs from a fixed random sequence: what the fuzz target
// checks, in every build and under Wine (Windows name rules), where libFuzzer is not.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "tests/support/list_name_check.h"

namespace orvella::test {
namespace {

// Inputs that look like what they stand for often enough to reach deep: URL pieces, line
// ends, control and high characters, lengths around the line limit.
std::string RandomInput(std::mt19937& random) {
  static const std::string pieces[] = {"http://h/",
                                       "https://[::1]:8443/",
                                       "/",
                                       "\\",
                                       "..",
                                       ".",
                                       "?",
                                       "#",
                                       "%2e",
                                       ".jpg",
                                       ".__t",
                                       "\r\n",
                                       "\n",
                                       "\r",
                                       "\t",
                                       "\x7f",
                                       "\x81",
                                       "\x9d",
                                       "\xe9",
                                       "CON",
                                       ":",
                                       "rvt_orv_files.lst",
                                       "\xef\xbb\xbf",
                                       std::string(1, '\0')};
  std::uniform_int_distribution<int> pick(0, std::size(pieces) - 1);
  std::uniform_int_distribution<int> byte(0, 255);
  std::string input(1, static_cast<char>(byte(random)));
  const int parts = std::uniform_int_distribution<int>(0, 12)(random);
  for (int i = 0; i < parts; ++i) {
    switch (std::uniform_int_distribution<int>(0, 3)(random)) {
      case 0:
        input += pieces[pick(random)];
        break;
      case 1:
        input += static_cast<char>(byte(random));
        break;
      case 2:
        input.append(
            static_cast<std::size_t>(std::uniform_int_distribution<int>(8170, 8200)(random)), 'p');
        break;
      default:
        input.append("a").append(std::to_string(byte(random)));
    }
  }
  return input;
}

TEST(ListRoad, RandomInputsKeepNamesInTheFolderAndTheListTrue) {
  std::mt19937 random(4711);
  for (int i = 0; i < 3000; ++i) {
    const std::string input = RandomInput(random);
    const std::string problem =
        CheckListRoad(reinterpret_cast<const uint8_t*>(input.data()), input.size());
    ASSERT_EQ(problem, "") << "input " << i << " of " << input.size() << " bytes";
  }
}

TEST(ListRoad, SeedInputsHold) {
  int seeds = 0;
  for (const auto& entry : std::filesystem::directory_iterator(
           std::filesystem::path(ORVELLA_SOURCE_DIR) / "tests" / "fuzz" / "corpus")) {
    std::ifstream in(entry.path(), std::ios::binary);
    const std::string input((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(CheckListRoad(reinterpret_cast<const uint8_t*>(input.data()), input.size()), "")
        << entry.path().filename();
    ++seeds;
  }
  EXPECT_GE(seeds, 5);
}

}  // namespace
}  // namespace orvella::test
