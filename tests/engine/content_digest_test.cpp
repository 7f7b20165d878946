// The stored files' digest: the same text however the bytes arrive, and the text form a
// journal written by an earlier run holds.
#include "engine/content_digest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace orvella {
namespace {

TEST(ContentDigest, TextIsXxh128HighHalfFirstInUpperCase) {
  // XXH3's 128-bit hashes of "" and of "d.jpg", as xxHash's reference code gives them: a
  // journal an earlier run wrote is read with the same digests.
  EXPECT_EQ(ContentDigest::Of("", 0), "99AA06D3014798D86001C324468D497F");
  EXPECT_EQ(ContentDigest::Of("d.jpg", 5), "9CB912721A91EE201F8BE788BF7329C3");
  ContentDigest streamed;
  EXPECT_EQ(streamed.Text(), "99AA06D3014798D86001C324468D497F");
}

TEST(ContentDigest, PiecesOfAnySizeGiveTheWholeBodysDigest) {
  std::string body(300 * 1024 + 7, '\0');
  for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i * 131 + i / 977);
  const std::string whole = ContentDigest::Of(body.data(), body.size());
  ContentDigest digest;
  digest.Update("stale", 5);
  digest.Reset();  // a download taken again starts from nothing
  for (std::size_t at = 0, piece = 1; at < body.size(); at += piece, piece = piece * 3 + 1) {
    const std::size_t size = std::min(piece, body.size() - at);
    digest.Update(body.data() + at, size);
  }
  EXPECT_EQ(digest.Text(), whole);
  // A byte changed, or one missing at the end, is another file.
  body[body.size() / 2] ^= 1;
  EXPECT_NE(ContentDigest::Of(body.data(), body.size()), whole);
  body[body.size() / 2] ^= 1;
  EXPECT_NE(ContentDigest::Of(body.data(), body.size() - 1), whole);
}

}  // namespace
}  // namespace orvella
