// The list file: its exact bytes, damaged and foreign inputs, and safe replacement.
#include "engine/list_file_text.h"
#include "tests/engine/engine_fixture.h"

namespace orvella::test {
namespace {

const std::string kBom = "\xEF\xBB\xBF";
const std::string kHead = kBom + "[Rovanta Orvella List]\r\n";

std::size_t BucketsAfterRehash(std::size_t n) {
  CFileMap reference;
  reference.rehash(n);
  return reference.bucket_count();
}

class ListFileTest : public EngineTest {
 protected:
  void Load(const std::string& bytes) {
    dir.Write("rvt_orv_files.lst", bytes);
    engine.modified = engine.downloading = 1;
    engine.ReadLocalFileList();
  }
  std::wstring Name(const std::wstring& url) const {
    const auto it = engine.files.find(url);
    return it == engine.files.end() ? L"<none>" : it->second.localName;
  }
};

TEST_F(ListFileTest, WrittenBytesReadBackAsUnusedRecords) {
  engine.files[L"http://h/a.jpg"] = {L"a.jpg", L"http://h/a.jpg", L"x", 1};
  engine.files[L"http://h/\u00e9?x=1"] = {L"\u00e9.jpg", L"http://h/\u00e9?x=1", L"", 1};
  ASSERT_TRUE(engine.WriteLocalFileList());
  const std::string a = "http://h/a.jpg\r\na.jpg\r\n";
  const std::string e = "http://h/\xC3\xA9?x=1\r\n\xC3\xA9.jpg\r\n";
  const std::string bytes = dir.Read("rvt_orv_files.lst");
  EXPECT_TRUE(bytes == kHead + "2\r\n" + a + e || bytes == kHead + "2\r\n" + e + a) << bytes;
  EXPECT_FALSE(Exists("rvt_orv_files.lst.tmp"));

  engine.modified = engine.downloading = 1;
  engine.ReadLocalFileList();
  ASSERT_EQ(engine.files.size(), 2u);
  for (const auto& [url, record] : engine.files) {
    EXPECT_EQ(record.url, url);
    EXPECT_EQ(record.inUse, 0);
    EXPECT_TRUE(record.reserved.empty());  // never stored
  }
  EXPECT_EQ(Name(L"http://h/\u00e9?x=1"), L"\u00e9.jpg");
  EXPECT_EQ(engine.modified + engine.downloading, 0);
  EXPECT_TRUE(host.Logged(L"ReadLocalFileList: file list loaded (2 entries)"));
}

TEST_F(ListFileTest, CountIsReadWithAutomaticBaseAndSizesTheTable) {
  std::string pairs;
  for (int i = 0; i < 9; ++i) pairs += "u" + std::to_string(i) + "\nn" + std::to_string(i) + "\n";
  const std::tuple<const char*, std::size_t, std::size_t> cases[] = {
      {"0x2", 2, 5},   {"010", 8, 17},           {" +3 x", 3, 7},         {"abc", 0, 1},
      {"-5", 0, 2523}, {"99999999999", 9, 2523}, {"0x7fffffff", 9, 2523},
  };
  for (const auto& [count, loaded, buckets] : cases) {
    Load(kHead + count + "\r\n" + pairs);
    EXPECT_EQ(engine.files.size(), loaded) << count;
    EXPECT_EQ(engine.files.bucket_count(), BucketsAfterRehash(buckets)) << count;
  }
  EXPECT_EQ(ParseListCount(L"-0x10"), -16);
  EXPECT_EQ(ParseListCount(L"09"), 0);  // octal stops at the 9
}

TEST_F(ListFileTest, MissingOrForeignFilesLeaveTheMapEmpty) {
  engine.files[L"old"] = {L"old.jpg", L"old", L"", 1};
  engine.ReadLocalFileList();
  EXPECT_TRUE(engine.files.empty());
  EXPECT_EQ(engine.files.bucket_count(), BucketsAfterRehash(2523));
  EXPECT_TRUE(host.Logged(L"ReadLocalFileList: file list not found"));
  for (const std::string& bad : {kBom + "[Rovanta Orvella List] \r\n1\r\nu\r\nn\r\n", std::string(),
                                 kBom + "[rovanta orvella list]\r\n",
                                 std::string("[Rovanta Orvella List]\r\n0\r\n")}) {  // no BOM
    host.ClearLogs();
    Load(bad);
    EXPECT_TRUE(engine.files.empty());
    EXPECT_TRUE(host.Logged(L"ReadLocalFileList: wrong file header")) << bad;
  }
  Load(kBom + "[Rovanta Orvella List]");
  EXPECT_TRUE(host.Logged(L"ReadLocalFileList: file list loaded (0 entries)"));
}

TEST_F(ListFileTest, ShortDuplicateEmptyAndLongEntries) {
  Load(kHead + "3\nu1\nn1.jpg\nu2\nn2.jpg\nu3");  // the incomplete last pair is dropped
  EXPECT_EQ(engine.files.size(), 2u);
  // The later duplicate wins; the empty URL is skipped but counts toward n.
  Load(kHead + "4\nu1\nfirst.jpg\n\nskip.jpg\nu1\nsecond.jpg\nu2\nn2.jpg\nu3\nbeyond.jpg\n");
  EXPECT_EQ(engine.files.size(), 2u);
  EXPECT_EQ(Name(L"u1"), L"second.jpg");
  // 8190 characters and the line end fit one read; a longer line comes in pieces.
  Load(kHead + "2\r\n" + std::string(8190, 'f') + "\r\nn.jpg\r\n" + std::string(8191, 'u') +
       "tail.jpg\r\nname.jpg\r\n");
  EXPECT_EQ(Name(std::wstring(8190, L'f')), L"n.jpg");
  EXPECT_EQ(Name(std::wstring(8191, L'u')), L"tail.jpg");
}

TEST_F(ListFileTest, Utf16LeIsReadWithAndWithoutByteOrderMark) {
  const std::wstring text =
      L"[Rovanta Orvella List]\r\n2\r\nhttp://h/\u00e9\r\n\u00e9.jpg\r\nu\nb.jpg\n";
  for (const bool bom : {true, false}) {
    std::string bytes = bom ? "\xFF\xFE" : "";
    for (const wchar_t c : text) bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    Load(bytes);
    EXPECT_EQ(Name(L"http://h/\u00e9"), L"\u00e9.jpg") << bom;
    EXPECT_EQ(Name(L"u"), L"b.jpg") << bom;
  }
}

TEST_F(ListFileTest, EntriesThatWouldReachOutsideTheFolderAreDropped) {
  Load(kHead + "6\r\nu1\r\n../../etc/passwd\r\nu2\r\n/abs/x.jpg\r\nu3\r\n..\r\n" +
       "u4\r\nrvt_orv_files.lst\r\nu5\r\n\r\nu6\r\ngood.jpg\r\n");
  ASSERT_EQ(engine.files.size(), 1u);
  EXPECT_EQ(Name(L"u6"), L"good.jpg");
}

TEST_F(ListFileTest, FailedWriteKeepsThePreviousList) {
  const std::string previous = kHead + "1\r\nu\r\nn.jpg\r\n";
  dir.Write("rvt_orv_files.lst", previous);
  for (int i = 0; i < 200; ++i) engine.files[std::to_wstring(i)] = {L"n.jpg", L"", L"", 1};
  {
    ScopedFileSizeLimit disk(1000);  // the new list needs more
    EXPECT_FALSE(engine.WriteLocalFileList());
  }
  EXPECT_EQ(dir.Read("rvt_orv_files.lst"), previous);
  EXPECT_FALSE(Exists("rvt_orv_files.lst.tmp"));
  EXPECT_TRUE(
      host.Logged(L"WriteLocalFileList: can't create file " + InFolder("rvt_orv_files.lst")));
}

TEST_F(ListFileTest, EmptyFolderMeansTheCurrentFolder) {
  const auto old = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  owner.ImgFolder.clear();
  engine.files[L"u"] = {L"n.jpg", L"u", L"", 1};
  const bool written = engine.WriteLocalFileList();
  std::filesystem::current_path(old);
  EXPECT_TRUE(written);
  EXPECT_EQ(dir.Read("rvt_orv_files.lst"), kHead + "1\r\nu\r\nn.jpg\r\n");
}

}  // namespace
}  // namespace orvella::test
