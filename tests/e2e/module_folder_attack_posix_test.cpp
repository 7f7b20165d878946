// The image folder under attack and at its limits, through the real module on POSIX: what
// stands at the lock's and the journal's names, a folder swapped for a link while a batch
// runs, stale records, a full disk, the longest names and long local work cut short by a
// stop. What stays on disk is checked byte for byte, inside and outside the folder.
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "tests/support/module_sync_fixture.h"

namespace orvella::test {
namespace {

constexpr char kLock[] = "rvt_orv_files.lst.lock";
constexpr char kJournal[] = "rvt_orv_files.lst.jnl";
constexpr char kList[] = "rvt_orv_files.lst";
const std::string kHead = "\xEF\xBB\xBF[Rovanta Orvella List]\r\n";

class FolderAttackTest : public ModuleSyncTest {
 protected:
  FolderAttackTest() {
    server.SetCatalog(2, {});
    outside.Write("precious.txt", "keep me");
  }
  /// Starts the module, waits until its worker said `line` (or ended a batch without
  /// it), and stops it. Returns whether the line came.
  bool PassUntil(const std::wstring& line) {
    host.ClearLogs();
    auto module = Start();
    WaitUntil(
        [&] { return host.CountLogs(line) >= 1 || host.CountLogs(L"Download complete") >= 1; });
    module->Send(10, 0, 1);
    return host.CountLogs(line) >= 1;
  }
  std::string Outside() const { return outside.Read("precious.txt"); }

  TempDir outside;
};

// A link (dangling or not), a pipe, a folder, a hard link or another user's file at the
// lock's name used to let a second worker in: now nothing is downloaded, deleted or
// written in that folder, and what stands there is left as it is.
TEST_F(FolderAttackTest, AnythingButThePlugInsOwnLockFileKeepsTheWorkerOut) {
  const fs::path lock = folder / kLock;
  const auto plant = [&](const std::string& what) {
    if (what == "link") fs::create_symlink(outside / "precious.txt", lock);
    if (what == "dangling link") fs::create_symlink(outside / "nothing", lock);
    if (what == "pipe") ::mkfifo(lock.c_str(), 0644);
    if (what == "folder") fs::create_directories(lock);
    if (what == "hard link") fs::create_hard_link(outside / "precious.txt", lock);
    if (what == "another user's file") {
      folder.Write(kLock, "");
      ASSERT_EQ(::chown(lock.c_str(), 65534, 65534), 0);
    }
  };
  std::vector<std::string> cases = {"link", "dangling link", "pipe", "folder", "hard link"};
  if (::geteuid() == 0) cases.push_back("another user's file");
  for (const std::string& what : cases) {
    plant(what);
    EXPECT_TRUE(
        PassUntil(L"DownloadNext(), image folder can't be locked, nothing is changed in it: "))
        << what;
    EXPECT_EQ(server.ImageRequests("a.jpg") + server.ImageRequests("b.jpg"), 0) << what;
    EXPECT_FALSE(fs::exists(folder / kList) || fs::exists(folder / kJournal)) << what;
    EXPECT_TRUE(fs::exists(fs::symlink_status(lock))) << what;
    EXPECT_EQ(Outside(), "keep me") << what;
    EXPECT_FALSE(fs::exists(outside / "nothing")) << what;
    fs::remove_all(lock);
  }
  Pass();  // with the name free, the folder is the worker's
  EXPECT_EQ(folder.Read("a.jpg"), PatternBytes(50000, 'a'));
}

// A lock file deleted while its holder works lets a second worker in: the first notices
// before its next change and makes none.
TEST_F(FolderAttackTest, ALockFileDeletedWhileHeldIsNoticedBeforeTheNextChange) {
  Reply slow(200, PatternBytes(50000, 'b'), "image/jpeg");
  slow.stallAfter = 1000;
  server.SetImage("b.jpg", slow);
  auto first = Start();
  // The body is held back: a release before that would be missed, and the download
  // would wait for its time-out.
  WaitUntil([&] { return server.server.HeldCount() == 1; });
  fs::remove(folder / kLock);
  folder.Write(kLock, "");  // a second worker's new lock file, say
  server.server.ReleaseStalls();
  WaitForBatches(1);
  first->Send(10, 0, 1);
  EXPECT_EQ(
      host.CountLogs(L"DownloadNext(), image folder lock was lost, nothing more is changed in: "),
      1);
  EXPECT_FALSE(fs::exists(folder / kList));  // the first wrote nothing more
  EXPECT_FALSE(fs::exists(folder / "a.jpg"));
  EXPECT_EQ(CountInFolder(".__t"), 0);
}

// A hard link planted at the journal's name between batches used to receive the journal's
// lines: the file it links to stays as it is, and no download starts unannounced.
TEST_F(FolderAttackTest, AHardLinkAtTheJournalsNameIsNeverWrittenTo) {
  Pass();
  ASSERT_FALSE(fs::exists(folder / kJournal));
  server.SetCatalog(1, {"a.jpg", "b.jpg", "c.jpg"});
  fs::create_hard_link(outside / "precious.txt", folder / kJournal);
  Pass();
  EXPECT_EQ(Outside(), "keep me");
  EXPECT_TRUE(host.Logged(L"DownloadNext(), can't write journal " +
                          Utf8ToWide((folder / kJournal).string()) +
                          L": a file with more than one link"));
  EXPECT_EQ(server.ImageRequests("c.jpg"), 0);
  EXPECT_FALSE(fs::exists(folder / "c.jpg"));
  EXPECT_EQ(fs::hard_link_count(folder / kJournal), 2u);
}

// A record whose file is gone used to delete, at the batch end, the picture another URL
// had just stored under the same name.
TEST_F(FolderAttackTest, AStaleRecordNeverDeletesALaterFileOfItsName) {
  folder.Write(kList, kHead + "1\r\nhttp://old.example/old/a.jpg\r\na.jpg\r\n");
  server.SetCatalog(1, {"a.jpg"});
  Pass();
  EXPECT_EQ(folder.Read("a.jpg"), PatternBytes(50000, 'a'));
  EXPECT_EQ(ListedPairs(),
            (std::set<std::pair<std::string, std::string>>{{Url("a.jpg"), "a.jpg"}}));
  EXPECT_EQ(host.notifications(), 1);
}

// A folder renamed and swapped for a link to another folder while a batch runs: the rest
// of the batch goes to the folder it began in; the other folder and its list get nothing.
TEST_F(FolderAttackTest, AFolderSwappedForALinkMidBatchReceivesNothingOfIt) {
  TempDir other;
  const std::string otherList = kHead + "1\r\nhttp://h/mine.jpg\r\nmine.jpg\r\n";
  other.Write(kList, otherList);
  other.Write("mine.jpg", "the other folder's");
  other.Write("d.jpg", "the other folder's d");  // no reason to leave d.jpg out of the batch
  Reply slow(200, PatternBytes(50000, 'a'), "image/jpeg");
  slow.stallAfter = 1000;
  server.SetImage("a.jpg", slow);
  server.SetImage("d.jpg", "d");
  server.SetCatalog(1, {"a.jpg", "b.jpg", "d.jpg"});
  auto module = Start();
  // The body is held back: a release before that would be missed, and the download
  // would wait for its time-out.
  WaitUntil([&] { return server.server.HeldCount() == 1; });
  const fs::path moved = folder.path().string() + ".moved";
  fs::rename(folder.path(), moved);
  fs::create_symlink(other.path(), folder.path());
  server.server.ReleaseStalls();
  WaitForBatches(1);
  module->Send(10, 0, 1);
  module.reset();
  EXPECT_EQ(other.Read(kList), otherList);
  EXPECT_EQ(other.Read("mine.jpg"), "the other folder's");
  std::size_t others = 0;
  for (const auto& entry : fs::directory_iterator(other.path())) others += entry.exists();
  EXPECT_EQ(others, 3u);
  EXPECT_EQ(other.Read("d.jpg"), "the other folder's d");
  EXPECT_TRUE(fs::exists(moved / "b.jpg"));
  std::ifstream d(moved / "d.jpg", std::ios::binary);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(d)), {}), "d");
  std::ifstream list(moved / kList, std::ios::binary);
  const std::string written((std::istreambuf_iterator<char>(list)), {});
  EXPECT_NE(written.find("d.jpg"), std::string::npos);
  fs::remove(folder.path());
  fs::rename(moved, folder.path());  // for the fixture's clean-up
}

// On a full disk every deletion used to wait for its journal entry, so the cleanup that
// frees the space never ran.
TEST_F(FolderAttackTest, AFullDiskDoesNotHoldUpTheCleanupThatFreesIt) {
  TempDir mount;
  if (::mount("orvella-test", mount.path().c_str(), "tmpfs", 0, "size=512k") != 0)
    GTEST_SKIP() << "cannot mount a small tmpfs here (needs root): " << std::strerror(errno);
  struct Unmount {
    const fs::path& at;
    ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
  } unmount{mount.path()};
  host.SetString(L"ImgFolder", Utf8ToWide(mount.path().string()));
  Pass();
  ASSERT_TRUE(fs::exists(mount / "b.jpg"));
  // The user's file takes what is left, to the last byte.
  {
    std::ofstream filler(mount / "filler", std::ios::binary);
    const std::string block(4096, 'f');
    while (filler.write(block.data(), block.size())) {
    }
  }
  {
    std::ofstream byte(mount / "filler2", std::ios::binary);
    for (int i = 0; i < 4096 && byte.put('f'); ++i) byte.flush();
  }
  server.SetCatalog(1, {"a.jpg"});  // b.jpg is no longer offered
  Pass();
  EXPECT_FALSE(fs::exists(mount / "b.jpg"));
  EXPECT_TRUE(fs::exists(mount / "a.jpg"));
  EXPECT_TRUE(fs::exists(mount / "filler"));
  std::ifstream list(mount / kList, std::ios::binary);
  const std::string written((std::istreambuf_iterator<char>(list)), {});
  EXPECT_EQ(written, kHead + "1\r\n" + Url("a.jpg") + "\r\na.jpg\r\n");
}

// Names of up to 255 bytes are stored, whatever their extension: their work names are
// shortened to fit; one byte more is a name the file system refuses.
TEST_F(FolderAttackTest, NamesOfUpTo255BytesAreStored) {
  const std::string plain(255, 'p');
  const std::string shortExtension = std::string(253, 's') + ".j";
  const std::string usual = std::string(251, 'u') + ".jpg";
  const std::string tooLong(256, 'l');
  std::vector<std::string> names = {plain, shortExtension, usual, tooLong};
  for (const std::string& name : names) server.SetImage(name, name.substr(0, 10));
  server.SetCatalog(1, names);
  Pass();
  for (const std::string& name : {plain, shortExtension, usual})
    EXPECT_EQ(folder.Read(name), name.substr(0, 10)) << name.size();
  EXPECT_TRUE(host.Logged(L"BuildLocalName(): Object name can't be used for local file: " +
                          Utf8ToWide((folder / tooLong).string())));
  EXPECT_EQ(CountInFolder(".__t"), 0);
  EXPECT_EQ(ListedPairs().size(), 3u);
}

// A stop during the batch end of a long list is seen at once: part of the cleanup is done,
// the rest waits, and the folder's record stays true (the journal holds the part done).
TEST_F(FolderAttackTest, AStopDuringTheCleanupOfALongListLeavesTheRecordTrue) {
  constexpr int kRecords = 300000;
  std::string list = kHead + std::to_string(kRecords) + "\r\n";
  for (int i = 0; i < kRecords; ++i)
    list += "http://h/gone/" + std::to_string(i) + ".jpg\r\n" + std::to_string(i) + ".jpg\r\n";
  folder.Write(kList, list);
  server.SetCatalog(1, {"a.jpg"});
  host.ClearLogs();
  auto module = Start();
  WaitUntil([&] { return host.CountLogs(L"DownloadImage(), ") >= 1; });
  module->Send(10, 0, 1);
  EXPECT_TRUE(host.Logged(L"COrvellaThread::Stop(), result: 0"));
  module.reset();
  // Whatever the stop cut short, the next pass finishes it: the record names a.jpg alone.
  Pass();
  EXPECT_EQ(ListedPairs(),
            (std::set<std::pair<std::string, std::string>>{{Url("a.jpg"), "a.jpg"}}));
  EXPECT_FALSE(fs::exists(folder / kJournal));
}

}  // namespace
}  // namespace orvella::test
