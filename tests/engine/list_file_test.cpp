// The list file: its exact bytes, damaged and foreign inputs, safe replacement, entries
// that would not read back, and the journal that carries changes across a crash.
#include "engine/list_file_text.h"
#include "engine/list_journal.h"
#include "system/safe_files.h"
#include "tests/engine/list_file_fixture.h"

namespace orvella::test {
namespace {

TEST_F(ListFileTest, WrittenBytesReadBackAsUnusedRecords) {
  engine.files.Set(CFileData{L"a.jpg", L"http://h/a.jpg", L"x", 1});
  engine.files.Set(CFileData{L"\u00e9.jpg", L"http://h/\u00e9?x=1", L"", 1});
  ASSERT_TRUE(engine.WriteLocalFileList());
  const std::string a = "http://h/a.jpg\r\na.jpg\r\n";
  const std::string e = "http://h/\xC3\xA9?x=1\r\n\xC3\xA9.jpg\r\n";
  const std::string bytes = dir.Read("rvt_orv_files.lst");
  EXPECT_TRUE(bytes == kHead + "2\r\n" + a + e || bytes == kHead + "2\r\n" + e + a) << bytes;
  EXPECT_FALSE(Exists("rvt_orv_files.lst.tmp"));

  engine.modified = engine.downloading = 1;
  engine.ReadLocalFileList();
  ASSERT_EQ(engine.files.GetCount(), 2u);
  for (const CFileData& record : engine.files) {
    EXPECT_EQ(engine.files.Find(record.url), &record);
    EXPECT_EQ(record.inUse, 0);
    EXPECT_TRUE(record.reserved.empty());  // never stored
  }
  EXPECT_EQ(Name(L"http://h/\u00e9?x=1"), L"\u00e9.jpg");
  EXPECT_EQ(engine.modified + engine.downloading, 0);
  EXPECT_TRUE(host.Logged(L"ReadLocalFileList: file list loaded (2 entries)"));
}

TEST_F(ListFileTest, CountIsReadWithAutomaticBaseAndSizesTheTable) {
  std::string pairs;
  for (int i = 0; i < 9; ++i) {
    const std::string number = std::to_string(i);
    pairs.append("u").append(number).append("\nn").append(number).append("\n");
  }
  const std::tuple<const char*, std::size_t, std::size_t> cases[] = {
      {"0x2", 2, 5},   {"010", 8, 17},           {" +3 x", 3, 7},         {"abc", 0, 1},
      {"-5", 0, 2523}, {"99999999999", 9, 2523}, {"0x7fffffff", 9, 2523},
  };
  for (const auto& [count, loaded, buckets] : cases) {
    Load(kHead + count + "\r\n" + pairs);
    EXPECT_EQ(engine.files.GetCount(), loaded) << count;
    EXPECT_EQ(engine.files.GetHashTableSize(), BucketsAfterRehash(buckets)) << count;
  }
  EXPECT_EQ(ParseListCount(L"-0x10"), -16);
  EXPECT_EQ(ParseListCount(L"09"), 0);  // octal stops at the 9
}

TEST_F(ListFileTest, MissingOrForeignFilesLeaveTheMapEmpty) {
  engine.files.Set(CFileData{L"old.jpg", L"old", L"", 1});
  engine.ReadLocalFileList();
  EXPECT_TRUE(engine.files.IsEmpty());
  EXPECT_EQ(engine.files.GetHashTableSize(), BucketsAfterRehash(2523));
  EXPECT_TRUE(host.Logged(L"ReadLocalFileList: file list not found"));
  for (const std::string& bad : {kBom + "[Rovanta Orvella List] \r\n1\r\nu\r\nn\r\n", std::string(),
                                 kBom + "[rovanta orvella list]\r\n",
                                 std::string("[Rovanta Orvella List]\r\n0\r\n")}) {  // no BOM
    host.ClearLogs();
    Load(bad);
    EXPECT_TRUE(engine.files.IsEmpty());
    EXPECT_TRUE(host.Logged(L"ReadLocalFileList: wrong file header")) << bad;
  }
  Load(kBom + "[Rovanta Orvella List]");
  EXPECT_TRUE(host.Logged(L"ReadLocalFileList: file list loaded (0 entries)"));
}

TEST_F(ListFileTest, ShortDuplicateEmptyAndLongEntries) {
  Load(kHead + "3\nu1\nn1.jpg\nu2\nn2.jpg\nu3");  // the incomplete last pair is dropped
  EXPECT_EQ(engine.files.GetCount(), 2u);
  // The later duplicate wins; the empty URL is skipped but counts toward n.
  Load(kHead + "4\nu1\nfirst.jpg\n\nskip.jpg\nu1\nsecond.jpg\nu2\nn2.jpg\nu3\nbeyond.jpg\n");
  EXPECT_EQ(engine.files.GetCount(), 2u);
  EXPECT_EQ(Name(L"u1"), L"second.jpg");
  // 8190 characters and the line end fit one read; a longer line comes in pieces.
  Load(kHead + "2\r\n" + std::string(8190, 'f') + "\r\nn.jpg\r\n" + std::string(8191, 'u') +
       "tail.jpg\r\nname.jpg\r\n");
  EXPECT_EQ(Name(std::wstring(8190, L'f')), L"n.jpg");
  EXPECT_EQ(Name(std::wstring(8191, L'u')), L"tail.jpg");
  // A NUL ends the text of its line, in plain ASCII lines and in others.
  using namespace std::string_literals;
  Load(kHead + "3\r\nu1\r\nn1.jpg\0junk\r\nu2\0x\r\nn2.jpg\r\nu3\xC3\xA9\0\xC3\xA9\r\nn3.jpg\r\n"s);
  EXPECT_EQ(Name(L"u1"), L"n1.jpg");
  EXPECT_EQ(Name(L"u2"), L"n2.jpg");
  EXPECT_EQ(Name(L"u3\u00e9"), L"n3.jpg");
  EXPECT_EQ(engine.files.GetCount(), 3u);
}

TEST_F(ListFileTest, ReadingTheListAgainRefillsTheRecordsInMemory) {
  // The list is read at every start of the worker's loop: the records in memory take the
  // new texts, rather than being freed and allocated again. A record that was refilled
  // still has the room of the long text its third field held; it is emptied all the same.
  std::string list = kHead + "300\r\n";
  for (int i = 0; i < 300; ++i)
    list += "http://h/" + std::to_string(i) + ".jpg\r\n" + std::to_string(i) + ".jpg\r\n";
  Load(list);
  for (CFileData& record : engine.files) record.reserved.assign(100, L'r');
  Load(list);
  ASSERT_EQ(engine.files.GetCount(), 300u);
  for (const CFileData& record : engine.files) {
    EXPECT_TRUE(record.reserved.empty());
    EXPECT_GE(record.reserved.capacity(), 100u) << record.url;
  }
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
  ASSERT_EQ(engine.files.GetCount(), 1u);
  EXPECT_EQ(Name(L"u6"), L"good.jpg");
}

TEST_F(ListFileTest, EmptyFolderNeverMeansTheCurrentFolder) {
  const auto old = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  const std::string list = kHead + "1\r\nu\r\nn.jpg\r\n";
  dir.Write("rvt_orv_files.lst", list);
  owner.ImgFolder.clear();
  engine.ReadLocalFileList();
  engine.files.Set(CFileData{L"m.jpg", L"v", L"", 1});
  const bool written = engine.WriteLocalFileList();
  std::filesystem::current_path(old);
  EXPECT_FALSE(written);
  EXPECT_EQ(engine.files.GetCount(), 1u);  // only the one added here
  EXPECT_TRUE(host.Logged(L"ReadLocalFileList: file list not found"));
  EXPECT_TRUE(host.Logged(L"WriteLocalFileList: can't create file rvt_orv_files.lst"));
  EXPECT_EQ(dir.Read("rvt_orv_files.lst"), list);
}

TEST_F(ListFileTest, EntriesThatWouldNotReadBackAreLeftOut) {
  const std::wstring longest(8190, L'u');
  const std::wstring kept[][2] = {{longest, L"a.jpg"},
                                  {L"http://h/\r", L"\u00a0b.jpg"},  // a CR alone reads back
                                  {L"http://h/\u0085", L"c.jpg"}};   // downloaded never, listed yes
  for (const auto& [url, name] : kept) engine.files.Set(CFileData{name, url, L"", 1});
  const std::wstring left[][2] = {{L"http://h/x\r\ny", L"d.jpg"},
                                  {longest + L"u", L"e.jpg"},
                                  {L"http://h/f", L"f\u0080.jpg"},
                                  {L"http://h/g", L"g\n.jpg"},
                                  {std::wstring(L"http://h/\0h", 11), L"h.jpg"},
                                  {L"http://h/i", L"rvt_orv_files.lst.jnl"}};
  for (const auto& [url, name] : left) engine.files.Set(CFileData{name, url, L"", 1});
  ASSERT_TRUE(engine.WriteLocalFileList());
  EXPECT_EQ(host.CountLogs(L"WriteLocalFileList: entry left out, it would not read back: "), 6);
  EXPECT_TRUE(
      host.Logged(L"WriteLocalFileList: entry left out, it would not read back: "
                  L"http://h/x??y"));
  engine.ReadLocalFileList();
  ASSERT_EQ(engine.files.GetCount(), 3u);
  for (const auto& [url, name] : kept) EXPECT_EQ(Name(url), name);
  EXPECT_EQ(dir.Read("rvt_orv_files.lst").substr(kHead.size(), 3), "3\r\n");
}

}  // namespace
}  // namespace orvella::test
