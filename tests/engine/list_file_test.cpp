// The list file: its exact bytes, damaged and foreign inputs, and safe replacement.
#include <csignal>
#include <string>

#include "engine/list_file_text.h"
#include "tests/engine/engine_fixture.h"

namespace orvella::test {
namespace {

constexpr char kBom[] = "\xEF\xBB\xBF";

std::string Utf16Le(const std::wstring& text, bool bom) {
  std::string out = bom ? "\xFF\xFE" : "";
  for (const wchar_t c : text) {
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>((c >> 8) & 0xFF);
  }
  return out;
}

std::size_t BucketsAfterRehash(std::size_t n) {
  CFileMap reference;
  reference.rehash(n);
  return reference.bucket_count();
}

class ListFileTest : public EngineTest {
 protected:
  void Load(const std::string& bytes) {
    dir.Write("rvt_orv_files.lst", bytes);
    engine.modified = 1;
    engine.downloading = 1;
    engine.ReadLocalFileList();
  }
  std::wstring Name(const std::wstring& url) const {
    const auto it = engine.files.find(url);
    return it == engine.files.end() ? L"<none>" : it->second.localName;
  }
};

TEST_F(ListFileTest, WrittenBytesReadBackAsUnusedRecords) {
  engine.files[L"http://h/a.jpg"] = {L"a.jpg", L"http://h/a.jpg", L"x", 1};
  engine.files[L"http://h/\u00e9.jpg?x=1"] = {L"\u00e9.jpg", L"http://h/\u00e9.jpg?x=1", L"", 1};
  engine.modified = 1;
  ASSERT_TRUE(engine.WriteLocalFileList());
  EXPECT_EQ(engine.modified, 1);  // the caller clears it
  const std::string bytes = dir.Read("rvt_orv_files.lst");
  const std::string a = "http://h/a.jpg\r\na.jpg\r\n";
  const std::string e = "http://h/\xC3\xA9.jpg?x=1\r\n\xC3\xA9.jpg\r\n";
  const std::string head = std::string(kBom) + "[Rovanta Orvella List]\r\n2\r\n";
  EXPECT_TRUE(bytes == head + a + e || bytes == head + e + a) << bytes;
  EXPECT_FALSE(Exists("rvt_orv_files.lst.tmp"));

  engine.files.clear();
  engine.downloading = 1;
  engine.ReadLocalFileList();
  ASSERT_EQ(engine.files.size(), 2u);
  for (const auto& [url, record] : engine.files) {
    EXPECT_EQ(record.url, url);
    EXPECT_EQ(record.inUse, 0);
    EXPECT_TRUE(record.reserved.empty());  // never stored
  }
  EXPECT_EQ(Name(L"http://h/\u00e9.jpg?x=1"), L"\u00e9.jpg");
  EXPECT_EQ(engine.modified, 0);
  EXPECT_EQ(engine.downloading, 0);
  EXPECT_TRUE(host.Logged(L"ReadLocalFileList: file list loaded (2 entries)"));
}

TEST_F(ListFileTest, CountIsReadWithAutomaticBase) {
  std::string pairs;
  for (int i = 0; i < 9; ++i) {
    pairs += "u" + std::to_string(i) + "\r\nn" + std::to_string(i) + ".jpg\r\n";
  }
  struct Case {
    const char* count;
    std::size_t loaded;
    std::size_t buckets;
  };
  const Case cases[] = {
      {"0x2", 2, BucketsAfterRehash(5)},           {"010", 8, BucketsAfterRehash(17)},
      {"  +3 apples", 3, BucketsAfterRehash(7)},   {"abc", 0, BucketsAfterRehash(1)},
      {"-5", 0, BucketsAfterRehash(2523)},         {"99999999999", 9, BucketsAfterRehash(2523)},
      {"0x7fffffff", 9, BucketsAfterRehash(2523)},
  };
  for (const Case& c : cases) {
    Load(std::string(kBom) + "[Rovanta Orvella List]\r\n" + c.count + "\r\n" + pairs);
    EXPECT_EQ(engine.files.size(), c.loaded) << c.count;
    EXPECT_EQ(engine.files.bucket_count(), c.buckets) << c.count;
  }
  EXPECT_TRUE(host.Logged(L"ReadLocalFileList: file list loaded (0 entries)"));
}

TEST_F(ListFileTest, WrongOrMissingFilesLeaveTheMapEmpty) {
  engine.files[L"old"] = {L"old.jpg", L"old", L"", 1};
  engine.ReadLocalFileList();
  EXPECT_TRUE(engine.files.empty());
  EXPECT_EQ(engine.files.bucket_count(), BucketsAfterRehash(2523));
  EXPECT_TRUE(host.Logged(L"ReadLocalFileList: file list not found"));

  for (const std::string& bad :
       {std::string(kBom) + "[Rovanta Orvella List] \r\n1\r\nu\r\nn\r\n", std::string(""),
        std::string(kBom), std::string(kBom) + "[rovanta orvella list]\r\n0\r\n",
        std::string("[Rovanta Orvella List]\r\n0\r\n")}) {  // no BOM: UTF-16
    host.ClearLogs();
    Load(bad);
    EXPECT_TRUE(engine.files.empty());
    EXPECT_TRUE(host.Logged(L"ReadLocalFileList: wrong file header")) << bad;
  }

  host.ClearLogs();
  Load(std::string(kBom) + "[Rovanta Orvella List]");
  EXPECT_TRUE(host.Logged(L"ReadLocalFileList: file list loaded (0 entries)"));
}

TEST_F(ListFileTest, ShortDuplicateAndEmptyEntries) {
  const std::string head = std::string(kBom) + "[Rovanta Orvella List]\n";
  // An incomplete last pair is dropped.
  Load(head + "3\nu1\nn1.jpg\nu2\nn2.jpg\nu3");
  EXPECT_EQ(engine.files.size(), 2u);
  // The later duplicate wins; the empty URL is skipped but counts toward n.
  Load(head + "4\nu1\nfirst.jpg\n\nskipped.jpg\nu1\nsecond.jpg\nu2\nn2.jpg\nu3\nbeyond.jpg\n");
  EXPECT_EQ(engine.files.size(), 2u);
  EXPECT_EQ(Name(L"u1"), L"second.jpg");
  EXPECT_EQ(Name(L"u3"), L"<none>");
  EXPECT_TRUE(host.Logged(L"ReadLocalFileList: file list loaded (2 entries)"));
}

TEST_F(ListFileTest, LongLinesAreReadIn8191CharacterPieces) {
  const std::string head = std::string(kBom) + "[Rovanta Orvella List]\r\n";
  const std::string fits(8190, 'f');  // with its line end: exactly one piece
  Load(head + "1\r\n" + fits + "\r\nn.jpg\r\n");
  EXPECT_EQ(Name(std::wstring(8190, L'f')), L"n.jpg");

  const std::string longUrl = std::string(8191, 'u') + "tail.jpg";
  Load(head + "2\r\n" + longUrl + "\r\nname.jpg\r\n");
  // The rest of the long line is read as the name, "name.jpg" as the next URL.
  EXPECT_EQ(Name(std::wstring(8191, L'u')), L"tail.jpg");
  EXPECT_EQ(engine.files.size(), 1u);
}

TEST_F(ListFileTest, Utf16LeFilesAreReadWithAndWithoutByteOrderMark) {
  const std::wstring text =
      L"[Rovanta Orvella List]\r\n2\r\nhttp://h/\u00e9.jpg\r\n\u00e9.jpg\r\nhttp://h/b\nb.jpg\n";
  for (const bool bom : {true, false}) {
    Load(Utf16Le(text, bom));
    EXPECT_EQ(engine.files.size(), 2u) << bom;
    EXPECT_EQ(Name(L"http://h/\u00e9.jpg"), L"\u00e9.jpg") << bom;
    EXPECT_EQ(Name(L"http://h/b"), L"b.jpg") << bom;
  }
}

TEST_F(ListFileTest, EntriesThatWouldReachOutsideTheFolderAreDropped) {
  Load(std::string(kBom) +
       "[Rovanta Orvella List]\r\n7\r\n"
       "u1\r\n../../etc/passwd\r\nu2\r\n/abs/x.jpg\r\nu3\r\n..\r\nu4\r\nrvt_orv_files.lst\r\n"
       "u5\r\n\r\nu6\r\na\\..\\b\r\nu7\r\ngood.jpg\r\n");
  ASSERT_EQ(engine.files.size(), 1u);
  EXPECT_EQ(Name(L"u7"), L"good.jpg");
  EXPECT_TRUE(host.Logged(L"ReadLocalFileList: file list loaded (1 entries)"));
}

TEST_F(ListFileTest, FailedWriteKeepsThePreviousList) {
  const std::string previous = std::string(kBom) + "[Rovanta Orvella List]\r\n1\r\nu\r\nn.jpg\r\n";
  dir.Write("rvt_orv_files.lst", previous);
  for (int i = 0; i < 200; ++i) {
    const std::wstring url = L"http://h/" + std::to_wstring(i) + L".jpg";
    engine.files[url] = {std::to_wstring(i) + L".jpg", url, L"", 1};
  }
  {
    ScopedFileSizeLimit limit(1000);  // the new list needs several KiB
    EXPECT_FALSE(engine.WriteLocalFileList());
  }
  EXPECT_EQ(dir.Read("rvt_orv_files.lst"), previous);
  EXPECT_FALSE(Exists("rvt_orv_files.lst.tmp"));
  EXPECT_TRUE(
      host.Logged(L"WriteLocalFileList: can't create file " + InFolder("rvt_orv_files.lst")));

  app.ImgFolder = InFolder("missing");
  EXPECT_FALSE(engine.WriteLocalFileList());
  EXPECT_TRUE(host.Logged(L"WriteLocalFileList: can't create file " +
                          InFolder("missing/rvt_orv_files.lst")));
}

TEST_F(ListFileTest, EmptyFolderMeansTheCurrentFolder) {
  const auto old = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  app.ImgFolder.clear();
  engine.files[L"u"] = {L"n.jpg", L"u", L"", 1};
  const bool written = engine.WriteLocalFileList();
  engine.ReadLocalFileList();
  std::filesystem::current_path(old);
  EXPECT_TRUE(written);
  EXPECT_TRUE(Exists("rvt_orv_files.lst"));
  EXPECT_EQ(engine.files.size(), 1u);
}

TEST(ListFileText, EmptyMapAndCountCorners) {
  CFileMap files;
  EXPECT_EQ(EncodeListFile(files), std::string(kBom) + "[Rovanta Orvella List]\r\n0\r\n");
  EXPECT_EQ(ParseListCount(L"  0X1f"), 31);
  EXPECT_EQ(ParseListCount(L"0x"), 0);
  EXPECT_EQ(ParseListCount(L"09"), 0);  // octal stops at 9
  EXPECT_EQ(ParseListCount(L"-0x10"), -16);
  EXPECT_EQ(ParseListCount(L"-99999999999"), INT32_MIN);
}

}  // namespace
}  // namespace orvella::test
