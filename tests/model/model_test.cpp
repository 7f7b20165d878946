// Copy rules of the model that the dialog's copy and copy-back depend on.
#include <gtest/gtest.h>

#include "model/orvella_model.h"

namespace orvella::test {
namespace {

COrvellaFeed QueriedFeed(int32_t type, uint32_t lastTm, int32_t retries) {
  COrvellaFeed feed(type, 30, L"tag" + std::to_wstring(type));
  feed.lastTm = lastTm;
  feed.retries = retries;
  feed.items.push_back({L"a", L"a.jpg", L"u1"});
  feed.items.push_back({L"b", L"b.jpg", L"u2"});
  return feed;
}

TEST(FeedModel, Constructors) {
  const COrvellaFeed plain;
  EXPECT_EQ(plain.Type, 1);
  EXPECT_EQ(plain.MaxP, 500);
  EXPECT_EQ(plain.Flg, 1u);
  EXPECT_EQ(plain.lastTm, 0u);
  const COrvellaFeed dialog(2, 7, L"sea");
  EXPECT_EQ(dialog.Type, 2);
  EXPECT_EQ(dialog.MaxP, 7);
  EXPECT_EQ(dialog.Tags, L"sea");
  EXPECT_EQ(dialog.Flg, 1u);
}

TEST(FeedModel, AssignmentKeepsTheTargetsRetriesAndCopiesItemsInOrder) {
  COrvellaFeed target = QueriedFeed(1, 10, 4);
  target.items.push_back({L"old", L"", L"old"});
  const COrvellaFeed source = QueriedFeed(2, 99, 7);
  target = source;
  EXPECT_EQ(target.retries, 4);
  EXPECT_EQ(target.lastTm, 99u);
  EXPECT_EQ(target.Type, 2);
  ASSERT_EQ(target.items.size(), 2u);
  EXPECT_EQ(target.items.front().url, L"u1");
  EXPECT_EQ(target.items.back().url, L"u2");
}

TEST(FeedArray, GrowingAppendsDefaultFeedsAndKeepsExistingCounts) {
  COrvellaFeedArray feeds;
  feeds.SetSize(1);
  feeds[0].retries = 3;
  feeds.SetSize(40);  // reallocation must not lose the count
  EXPECT_EQ(feeds[0].retries, 3);
  EXPECT_EQ(feeds[39].MaxP, 500);
  feeds.SetSize(-1);
  EXPECT_TRUE(feeds.IsEmpty());
  feeds.SetAtGrow(2, COrvellaFeed(2, 5, L""));
  ASSERT_EQ(feeds.GetSize(), 3);
  EXPECT_EQ(feeds[1].Type, 1);
  EXPECT_EQ(feeds[2].Type, 2);
}

TEST(FeedArray, CopyOverALongerArrayKeepsSurvivorsRetries) {
  COrvellaFeedArray target;
  for (int i = 0; i < 3; ++i) target.Add(QueriedFeed(1, 1, 10 + i));
  for (int i = 0; i < 3; ++i) target[i].retries = 10 + i;
  COrvellaFeedArray source;
  source.Add(QueriedFeed(2, 55, 0));
  target.Copy(source);
  ASSERT_EQ(target.GetSize(), 1);
  EXPECT_EQ(target[0].retries, 10);
  EXPECT_EQ(target[0].lastTm, 55u);
  EXPECT_EQ(target[0].Type, 2);
  target.Copy(target);  // self-copy leaves everything
  EXPECT_EQ(target.GetSize(), 1);
  EXPECT_EQ(target[0].items.size(), 2u);
}

}  // namespace
}  // namespace orvella::test
