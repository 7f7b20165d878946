// The list file where POSIX decides: a write refused by the file-size limit (a full disk's
// way of failing) keeps the previous list.
#include "tests/engine/list_file_fixture.h"
#include "tests/support/file_size_limit_posix.h"

namespace orvella::test {
namespace {

TEST_F(ListFileTest, FailedWriteKeepsThePreviousList) {
  const std::string previous = kHead + "1\r\nu\r\nn.jpg\r\n";
  dir.Write("rvt_orv_files.lst", previous);
  for (int i = 0; i < 200; ++i) {
    const std::wstring url = std::to_wstring(i) + L"-url";
    engine.files.Set(CFileData{L"n.jpg", url, L"", 1});
  }
  {
    ScopedFileSizeLimit disk(1000);  // the new list needs more
    EXPECT_FALSE(engine.WriteLocalFileList());
  }
  EXPECT_EQ(dir.Read("rvt_orv_files.lst"), previous);
  EXPECT_FALSE(Exists("rvt_orv_files.lst.tmp"));
  EXPECT_TRUE(
      host.Logged(L"WriteLocalFileList: can't create file " + InFolder("rvt_orv_files.lst")));
}

}  // namespace
}  // namespace orvella::test
