// DownloadImage where libcurl and POSIX decide: a write refused by the file-size limit
// (a full disk's way of failing), and a redirect to file:, which libcurl would follow.
#include "tests/engine/download_image_fixture.h"
#include "tests/support/file_size_limit_posix.h"

namespace orvella::test {
namespace {

TEST_F(DownloadImageTest, ShortBodiesAndWriteErrorsAreFailures) {
  Reply cut(200, PatternBytes(200000), "image/jpeg");
  cut.closeAfter = 100000;
  art.SetImage("short.jpg", cut);
  EXPECT_EQ(Download("short.jpg"), kDownloadError);
  EXPECT_EQ(host.CountLogs(L"DownloadImage(), Error "), 1);
  EXPECT_FALSE(Exists("out.jpg"));

  art.SetImage("big.jpg", PatternBytes(600000));
  art.SetImage("small.jpg", PatternBytes(100000));
  for (const char* name : {"big.jpg", "small.jpg"}) {  // fails while writing, or at the end
    ScopedFileSizeLimit disk(64 * 1024);
    EXPECT_EQ(Download(name), kDownloadError) << name;
  }
  EXPECT_EQ(host.CountLogs(L"DownloadImage(), can't write file " + InFolder("out.jpg")), 2);
  EXPECT_FALSE(Exists("out.jpg"));
}

TEST_F(DownloadImageTest, RedirectsAreFollowedToHttpOnly) {
  art.SetImage("real.jpg", "real");
  art.SetImage("moved.jpg",
               Reply(302, "", "text/plain", {{"Location", art.Url() + "/img/real.jpg"}}));
  EXPECT_EQ(Download("moved.jpg"), kDownloadOk);
  EXPECT_EQ(dir.Read("out.jpg"), "real");
  dir.Write("secret.txt", "local file");
  art.SetImage("sneaky.jpg",
               Reply(302, "", "text/plain",
                     {{"Location", "file://" + (dir.path() / "secret.txt").string()}}));
  EXPECT_EQ(Download("sneaky.jpg", "sneaky.jpg"), kDownloadError);
  EXPECT_FALSE(Exists("sneaky.jpg"));
}

}  // namespace
}  // namespace orvella::test
