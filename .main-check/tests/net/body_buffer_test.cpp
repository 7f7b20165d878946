// The body buffer that gathers a fetched answer into one block.
#include "net/body_buffer.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace orvella::test {
namespace {

TEST(BodyBuffer, GathersChunksIntoOneNulTerminatedBlockOfExactSize) {
  BodyBuffer buffer;
  std::string expected;
  for (int i = 0; i < 3000; ++i) {
    const std::string chunk(static_cast<std::size_t>(i % 37), static_cast<char>('a' + i % 26));
    ASSERT_TRUE(buffer.Append(chunk.data(), chunk.size()));
    expected += chunk;
  }
  ASSERT_EQ(buffer.length(), expected.size());
  char* block = buffer.Release();
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(std::string(block, expected.size()), expected);
  EXPECT_EQ(block[expected.size()], '\0');
  std::free(block);
  EXPECT_EQ(buffer.length(), 0u);
  EXPECT_EQ(buffer.Release(), nullptr);
}

TEST(BodyBuffer, NothingGatheredGivesNoBlock) {
  BodyBuffer buffer;
  EXPECT_TRUE(buffer.Append("x", 0));
  EXPECT_EQ(buffer.Release(), nullptr);
}

TEST(BodyBuffer, GrowingPastTheLengthLimitFailsAndReleasesTheData) {
  // The limit stands for the 32-bit length: a body that would wrap it must fail rather
  // than be copied past its block.
  BodyBuffer buffer(10);
  EXPECT_TRUE(buffer.Append("0123456789", 10));
  EXPECT_FALSE(buffer.Append("a", 1));
  EXPECT_EQ(buffer.length(), 0u);
  EXPECT_EQ(buffer.Release(), nullptr);

  BodyBuffer fresh(10);
  EXPECT_FALSE(fresh.Append("0123456789A", 11));
  EXPECT_EQ(fresh.length(), 0u);
}

}  // namespace
}  // namespace orvella::test
