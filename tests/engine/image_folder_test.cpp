// The image folder as the worker keeps it, driven through its own interface: what a crash
// left is finished at the next load, what stands at the plug-in's names is never read
// blocking or written through, and files too large are not read.
#include "engine/image_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "base/text_utf8.h"
#include "base/write_log.h"
#include "engine/content_digest.h"
#include "engine/list_file_text.h"
#include "engine/list_journal.h"
#include "system/folder_handle.h"
#include "tests/support/fake_host.h"
#include "tests/support/temp_dir.h"

namespace orvella::test {
namespace {

const std::string kBom = "\xEF\xBB\xBF";
const std::string kHead = kBom + "[Rovanta Orvella List]\r\n";

class ImageFolderTest : public ::testing::Test {
 protected:
  ImageFolderTest() { SetLogCallback(FakeHost::callback()); }
  ~ImageFolderTest() override { SetLogCallback(nullptr); }

  std::wstring Path() const { return Utf8ToWide(dir.path().string()); }
  /// The worker's start on the folder: its lock, then its record. Returns whether what a
  /// crash left was written back to the list (true when there was nothing to write).
  bool Load() {
    bool busy = false;
    std::wstring problem;
    EXPECT_TRUE(folder.TakeLock(Path(), true, busy, problem)) << problem;
    bool stopped = false;
    return folder.Load(Path(), nullptr, stopped);
  }
  /// The stored entry for `name` naming `bytes` as the file's whole content.
  static JournalEntry StoredAs(const std::wstring& url, const std::string& name,
                               const std::string& bytes) {
    JournalEntry entry(JournalKind::kStored, url, Utf8ToWide(name));
    entry.size = bytes.size();
    entry.digest = Digest(bytes);
    return entry;
  }
  static std::string Digest(const std::string& bytes) {
    return ContentDigest::Of(bytes.data(), bytes.size());
  }
  std::wstring InFolder(const std::string& name) const {
    return Utf8ToWide((dir.path() / name).string());
  }
  bool Exists(const std::string& name) const { return std::filesystem::exists(dir / name); }

  FakeHost host;
  TempDir dir;
  CFileMap records;
  CImageFolder folder{records};
};

TEST_F(ImageFolderTest, WhatStandsAtTheListsNamesIsNeverReadBlockingOrWrittenThrough) {
  TempDir outside;
  const std::string foreign = kHead + "1\r\nhttp://h/x\r\nuser.jpg\r\n";
  outside.Write("other.lst", foreign);
  outside.Write("precious.txt", "keep me");
  // A link or a pipe at the list's name reads as no list (a pipe would block for ever).
  // Where the platform has neither, a folder stands there.
  if (!PlantPipe(dir / "rvt_orv_files.lst") &&
      PlantLink(dir / "rvt_orv_files.lst", outside / "other.lst") != Planted::kLink) {
    std::filesystem::remove(dir / "rvt_orv_files.lst");
    std::filesystem::create_directories(dir / "rvt_orv_files.lst");
  }
  Load();
  EXPECT_TRUE(records.IsEmpty());
  EXPECT_TRUE(host.Logged(L"ReadLocalFileList: not a regular file, taken as missing: " +
                          InFolder("rvt_orv_files.lst")));
  EXPECT_TRUE(host.Logged(L"ReadLocalFileList: file list not found"));
  // A link at the temporary name: the write fails and writes nothing through it.
  std::filesystem::remove_all(dir / "rvt_orv_files.lst");
  records.Set(CFileData{L"n.jpg", L"u", L"", 1});
  if (PlantLink(dir / "rvt_orv_files.lst.tmp", outside / "precious.txt") == Planted::kLink) {
    EXPECT_FALSE(folder.WriteList(Path()));
    EXPECT_TRUE(host.Logged(L"WriteLocalFileList: not a regular file, left alone: " +
                            InFolder("rvt_orv_files.lst.tmp")));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "rvt_orv_files.lst.tmp"));
    std::filesystem::remove(dir / "rvt_orv_files.lst.tmp");
  }
  EXPECT_EQ(outside.Read("precious.txt"), "keep me");
  EXPECT_EQ(outside.Read("other.lst"), foreign);
  dir.Write("rvt_orv_files.lst.tmp", "left by a crash");  // a regular leftover just goes
  EXPECT_TRUE(folder.WriteList(Path()));
  EXPECT_EQ(dir.Read("rvt_orv_files.lst"), kHead + "1\r\nu\r\nn.jpg\r\n");
  EXPECT_FALSE(Exists("rvt_orv_files.lst.tmp"));
}

// A crash after files took their names and before the list was written: the journal
// holds what the list lacks, and the next read of the folder finishes the work. It takes
// its word only for what its entries bind themselves to: the bytes stored, whole, and the
// work file announced; entries without those (an older journal's, or a hand's) record and
// remove nothing.
TEST_F(ImageFolderTest, JournalLeftByACrashIsFoldedIntoTheListForThePlugInsOwnFilesOnly) {
  const std::string list =
      kHead + "3\r\nu-kept\r\nkept.jpg\r\nu-del\r\ndel.jpg\r\n" + "u-cut\r\ncut.jpg\r\n";
  dir.Write("rvt_orv_files.lst", list);
  for (const char* name : {"kept.jpg", "cut.jpg", "new.jpg", "user.__t", "photo.jpg"})
    dir.Write(name, name);
  dir.Write("torn.jpg", "8 bytes!");           // a power cut kept 8 of its 9000 bytes
  dir.Write("half.__t", "part of a picture");  // killed while downloading
  dir.Write("done.__t", "done.jpg");           // killed between its entries and the rename
  dir.Write("probe.jpg", "");                  // killed between the test creation and its removal
  dir.Write("holiday.jpg", "");                // the user's own empty file
  dir.Write("taken.jpg", "someone else's");
  std::string journal;
  const JournalEntry entries[] = {
      {JournalKind::kStarted, L"u-new", L"new.jpg"},
      StoredAs(L"u-new", "new.jpg", "new.jpg"),
      {JournalKind::kStarted, L"u-half", L"half.jpg"},
      {JournalKind::kStarted, L"u-done", L"done.jpg"},
      StoredAs(L"u-done", "done.jpg", "done.jpg"),
      {JournalKind::kRemoved, L"u-del", L"del.jpg"},
      {JournalKind::kRemoved, L"u-cut", L"cut.jpg"},  // killed before the file went
      {JournalKind::kStarted, L"u-taken", L"taken.jpg"},
      StoredAs(L"u-taken", "taken.jpg", "our picture"),
      {JournalKind::kGivenUp, L"u-taken", L"taken.jpg"},
      {JournalKind::kStarted, L"u-probe", L"probe.jpg"},
      StoredAs(L"u-torn", "torn.jpg", std::string(9000, 't')),
      StoredAs(L"u-other", "kept.jpg", "other bytes"),    // another file's bytes
      {JournalKind::kStored, L"u-photo", L"photo.jpg"}};  // without size and digest
  for (const JournalEntry& entry : entries) ASSERT_TRUE(EncodeJournalEntry(entry, journal));
  // Begun downloads without their work names: an older journal's, or a hand's.
  journal += "*\r\nu-user\r\nuser.jpg\r\n.\r\n*\r\nu-holiday\r\nholiday.jpg\r\n.\r\n";
  journal += "+\r\nu-cut-short\r\ntor";  // the last append was cut short
  dir.Write("rvt_orv_files.lst.jnl", journal);
  // Read alone, the record is what the plug-in will load, and nothing on disk changes.
  CFileMap seen;
  const FolderRecordState state = LoadFolderRecord(Path(), seen);
  EXPECT_EQ(state.journal, JournalState::kReplayed);
  EXPECT_EQ(state.replay.entries, 16u);
  EXPECT_TRUE(state.replay.endsInsideLine);
  EXPECT_EQ(seen.GetCount(), 3u);
  EXPECT_TRUE(Exists("rvt_orv_files.lst.jnl") && Exists("done.__t") && Exists("probe.jpg"));
  EXPECT_EQ(dir.Read("rvt_orv_files.lst"), list);
  const bool written = Load();
  EXPECT_TRUE(host.Logged(L"ReadLocalFileList: journal replayed (16 entries)"));
  const std::map<std::wstring, std::wstring> expected = {
      {L"u-kept", L"kept.jpg"}, {L"u-cut", L"cut.jpg"}, {L"u-new", L"new.jpg"}};
  std::map<std::wstring, std::wstring> names;
  for (const CFileData& record : records) names[record.url] = record.localName;
  EXPECT_EQ(names, expected);
  EXPECT_TRUE(written);  // written at once
  EXPECT_FALSE(Exists("rvt_orv_files.lst.jnl") || Exists("done.__t") || Exists("half.__t") ||
               Exists("probe.jpg"));
  EXPECT_EQ(dir.Read("torn.jpg"), "8 bytes!");  // not proven the plug-in's: left alone
  EXPECT_EQ(dir.Read("user.__t"), "user.__t");
  EXPECT_EQ(dir.Read("photo.jpg"), "photo.jpg");
  EXPECT_TRUE(Exists("holiday.jpg"));
  EXPECT_EQ(dir.Read("taken.jpg"), "someone else's");
  Load();
  EXPECT_EQ(records.GetCount(), 3u);
}

// A list or journal larger than the engine reads, as a sparse file announcing it: read as
// missing without reading it, so nothing of the folder is deleted on its account, and the
// list is written anew in its place.
TEST_F(ImageFolderTest, ListOrJournalBeyondTheLimitIsNotReadAndNothingIsDeletedForIt) {
  dir.Write("kept.jpg", "the user's");
  for (const char* name : {"rvt_orv_files.lst", "rvt_orv_files.lst.jnl"}) {
    dir.Write(name, kHead + "1\r\nu\r\nkept.jpg\r\n");
    std::filesystem::resize_file(dir / name, kMaxFolderRecordBytes + 1);
  }
  Load();
  EXPECT_TRUE(records.IsEmpty());
  EXPECT_TRUE(host.Logged(L"ReadLocalFileList: file list larger than 1024 MiB, taken as missing: " +
                          InFolder("rvt_orv_files.lst")));
  EXPECT_TRUE(host.Logged(L"ReadLocalFileList: journal larger than 1024 MiB, not replayed: " +
                          InFolder("rvt_orv_files.lst.jnl")));
  // The journal was dropped and an empty list written in the oversized one's place.
  EXPECT_FALSE(Exists("rvt_orv_files.lst.jnl"));
  EXPECT_EQ(dir.Read("rvt_orv_files.lst"), kHead + "0\r\n");
  EXPECT_EQ(dir.Read("kept.jpg"), "the user's");
}

TEST(ListJournal, EntriesCutShortAreSkippedAndTheNextWholeOneIsFound) {
  std::string bytes;
  ASSERT_TRUE(EncodeJournalEntry({JournalKind::kStored, L"http://h/a", L"-"}, bytes));
  const std::string whole = bytes;
  ASSERT_TRUE(EncodeJournalEntry({JournalKind::kRemoved, L"http://h/b", L"+"}, bytes));
  // Every cut of the second entry, then a line end and a third entry appended after it.
  for (std::size_t cut = whole.size(); cut < bytes.size(); ++cut) {
    std::string damaged = bytes.substr(0, cut);
    bool inside = false;
    const std::vector<JournalEntry> read = DecodeJournal(damaged, inside);
    EXPECT_EQ(inside, damaged.back() != '\n') << cut;
    ASSERT_EQ(read.size(), 1u) << cut;
    damaged += "\r\n";
    ASSERT_TRUE(EncodeJournalEntry({JournalKind::kStarted, L"http://h/c", L"c.jpg"}, damaged));
    // Cut right before its line end, the second entry was whole all the same.
    const std::size_t wholeEntries = cut == bytes.size() - 2 ? 3 : 2;
    const std::vector<JournalEntry> healed = DecodeJournal(damaged, inside);
    ASSERT_EQ(healed.size(), wholeEntries) << cut;
    EXPECT_EQ(healed[0].name, L"-");
    EXPECT_EQ(healed.back().url, L"http://h/c");
  }
  std::string none;
  EXPECT_FALSE(EncodeJournalEntry({JournalKind::kStored, L"u", L"a.jpg"}, none));  // one char
  EXPECT_FALSE(EncodeJournalEntry({JournalKind::kStored, L"http://h/a", L".."}, none));
  JournalEntry badWork(JournalKind::kStarted, L"http://h/a", L"a.jpg");
  badWork.work = L"a/b.__t";
  EXPECT_FALSE(EncodeJournalEntry(badWork, none));
  JournalEntry badDigest(JournalKind::kStored, L"http://h/a", L"a.jpg");
  badDigest.digest = "not a digest";
  EXPECT_FALSE(EncodeJournalEntry(badDigest, none));
  EXPECT_TRUE(none.empty());
}

// The file that proved a picture's name becomes its work file: the bytes written to it
// land under the work name and the picture's name is free again. When the work name was
// taken meanwhile, whatever stands there stays as it is and the test file goes.
TEST_F(ImageFolderTest, TheTestFileMovesToTheWorkNameOnlyWhenThatIsFree) {
  Load();
  WorkFile probe;
  ASSERT_EQ(folder.Handle().CreateExclusive(L"a.jpg", probe, nullptr), CreateOutcome::kCreated);
  ASSERT_TRUE(folder.AdoptProbe(probe, L"a.jpg", L"a.__t"));
  ASSERT_TRUE(probe.Write("the picture") && probe.Close());
  EXPECT_EQ(dir.Read("a.__t"), "the picture");
  EXPECT_FALSE(Exists("a.jpg"));

  dir.Write("b.__t", "someone else's");
  ASSERT_EQ(folder.Handle().CreateExclusive(L"b.jpg", probe, nullptr), CreateOutcome::kCreated);
  EXPECT_FALSE(folder.AdoptProbe(probe, L"b.jpg", L"b.__t"));
  EXPECT_FALSE(probe.IsOpen());
  EXPECT_EQ(dir.Read("b.__t"), "someone else's");
  EXPECT_FALSE(Exists("b.jpg"));
}

}  // namespace
}  // namespace orvella::test
