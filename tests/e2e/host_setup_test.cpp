// orvella-host set up from a terminal, as a person without a display does it: a fresh
// HOME, the real program and module, the local art service on loopback.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/child_process.h"
#include "tests/support/loopback_server.h"
#include "tests/support/temp_dir.h"
#include "tools/orvella-artd/art_service.h"

namespace orvella::test {
namespace {

const std::string kShortIntervalWarning = "You set polling time to a rather short value";

class HostSetupTest : public ::testing::Test {
 protected:
  HostSetupTest() { service.Start(); }

  /// orvella-host with `args` in the fresh HOME, no display, no terminal, the service on
  /// loopback; `input` as its standard input.
  int Run(std::vector<std::string> args, std::optional<std::string> input = std::nullopt,
          ChildProcess::Options options = {}) {
    options.env.emplace("HOME", home.path().string());
    options.env.emplace("XDG_CONFIG_HOME", "");
    options.env.emplace("ORVELLA_HOST_PROFILE", "");
    options.env.emplace("DISPLAY", "");
    options.env.emplace("ORVELLA_SERVER_URL", service.BaseUrl());
    if (options.terminal == ChildProcess::Options::Terminal::kInherit) {
      options.terminal = ChildProcess::Options::Terminal::kNone;
    }
    options.input = std::move(input);
    args.insert(args.begin(), {"--module", ORVELLA_MODULE_PATH});
    host = std::make_unique<ChildProcess>(ORVELLA_HOST_PATH, std::move(args), options);
    return host->Wait();
  }
  std::filesystem::path ProfilePath() const {
    return home / ".config" / "orvella-host" / "profile.ini";
  }
  std::string Profile() const {
    std::ifstream in(ProfilePath(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::filesystem::path Account() const {
    return home / ".config" / "Halvenworks" / "OrvellaPlugin";
  }
  std::string AccountValue(const std::string& name) const {
    std::ifstream in(Account() / name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  bool Has(const std::string& text, const std::string& part) const {
    return text.find(part) != std::string::npos;
  }
  /// The whole set-up, each step checked.
  void SetUpEverything();

  TempDir home;
  TempDir pictures;
  artd::ArtService service;
  std::unique_ptr<ChildProcess> host;
};

// Everything a first run needs, from a HOME with nothing in it, without a display.
void HostSetupTest::SetUpEverything() {
  EXPECT_EQ(Run({"show"}), 0) << host->err();
  EXPECT_TRUE(Has(host->out(), "account: not signed in")) << host->out();
  // A sync before the folder is set names the command that sets it, which needs no display.
  EXPECT_EQ(Run({"sync"}), 1);
  EXPECT_TRUE(Has(host->err(), "no image folder is set (orvella-host set folder DIR"))
      << host->err();

  const std::string profile = ProfilePath().string();
  EXPECT_EQ(Run({"set", "folder", pictures.path().string()}), 0) << host->err();
  EXPECT_EQ(host->out(), "image folder " + pictures.path().string() + " (" + profile + ")\n");
  EXPECT_EQ(Run({"set", "interval", "1:30"}), 0) << host->err();
  EXPECT_EQ(host->out(), "update interval 90 minutes (" + profile + ")\n");
  EXPECT_FALSE(Has(host->err(), kShortIntervalWarning)) << host->err();
  EXPECT_EQ(Run({"set", "wallpapers", "3", "night"}), 0) << host->err();
  EXPECT_EQ(host->out(), "wallpapers: up to 3, tags \"night\" (" + profile + ")\n");
  EXPECT_EQ(Run({"set", "clocks", "2"}), 0) << host->err();
  EXPECT_EQ(Run({"set", "size", "320x200"}), 0) << host->err();
  EXPECT_EQ(host->out(), "picture size without a monitor 320x200\n");
  EXPECT_EQ(Run({"--password-stdin", "sign-in", "demo@orvella.test"}, "demo\n"), 0) << host->err();
  EXPECT_EQ(host->out(), "signed in as Demo User\n");
  EXPECT_EQ(AccountValue("UserRVT"), "Demo User");
  EXPECT_FALSE(AccountValue("TokenRVT").empty());
  EXPECT_EQ(AccountValue("LastWidth") + "x" + AccountValue("LastHeight"), "320x200");
  EXPECT_EQ(Run({"enable"}), 0) << host->err();

  // The profile holds what the dialog's OK and the save would have written.
  const std::string written = Profile();
  for (const std::string& line : std::vector<std::string>{
           "[OrvellaPlugIn]\n", "Enabled=1\n", "tmUpdate=90\n",
           "ImgFolder=" + pictures.path().string() + "\n", "nFeeds=2\n", "Feed0_Type=1\n",
           "Feed0_Tags=night\n", "Feed0_Flg=1\n", "Feed0_MaxP=3\n", "Feed1_Type=2\n",
           "Feed1_Tags=\n", "Feed1_Flg=1\n", "Feed1_MaxP=2\n"}) {
    EXPECT_TRUE(Has(written, line)) << line << " in\n" << written;
  }
  EXPECT_EQ(Run({"show"}), 0) << host->err();
  for (const char* line : {"account: signed in as Demo User\n", "size without a monitor: 320x200\n",
                           "plug-in is enabled\n"}) {
    EXPECT_TRUE(Has(host->out(), line)) << line << " in\n" << host->out();
  }
}

TEST_F(HostSetupTest, AWholeSetUpFromAFreshHomeWithoutADisplay) {
  SetUpEverything();
}

// The size set for runs without a monitor is what the plug-in asks for: the sync fills
// the folder.
TEST_F(HostSetupTest, TheSyncAfterTheSetUpFillsTheFolderWithoutADisplay) {
  SetUpEverything();
  EXPECT_EQ(Run({"sync"}), 0) << host->err();
  EXPECT_TRUE(Has(host->out(), "sync: 0 present, 5 new, 0 failed, 0 removed\n")) << host->out();
  int pictureFiles = 0;
  for (const auto& entry : std::filesystem::directory_iterator(pictures.path())) {
    pictureFiles += entry.path().extension() == ".jpg";
  }
  EXPECT_EQ(pictureFiles, 5);
}

// Each value is checked as the settings dialog checks it: the same bounds and messages,
// on stderr, exit status 2, and nothing written. Both sides of each bound.
TEST_F(HostSetupTest, EachBadValueIsRefusedWithTheDialogsMessage) {
  const auto file = pictures.Write("a-file", "x");
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string message;  // on stderr
  };
  const std::string range999999 = "Enter an integer between 1 and 999999.";
  const std::vector<Case> cases = {
      {{"set", "folder", ""}, 2, "Destination folder for downloaded item is empty."},
      {{"set", "folder", (pictures / "none").string()}, 2, "Configured folder doesn't exist"},
      {{"set", "folder", file.string()}, 2, file.string() + " is not a folder"},
      {{"set", "folder", pictures.path().string() + "/\nx"}, 2, "hold a control character"},
      {{"set", "interval", "soon"}, 2, "Enter an integer."},
      {{"set", "interval", "1:x"}, 2, "Enter an integer."},
      {{"set", "interval", "10000000"}, 2, "Enter an integer between 0 and 9999999."},
      {{"set", "interval", "166666:40"}, 2, "Enter an integer between 0 and 9999999."},
      {{"set", "interval", "--", "-1"}, 2, "Enter an integer between 0 and 9999999."},
      {{"set", "interval", "166666:39"}, 0, "update interval 9999999 minutes"},
      {{"set", "interval", "60"}, 0, "update interval 60 minutes"},
      {{"set", "wallpapers", "0"}, 2, range999999},
      {{"set", "wallpapers", "1000000"}, 2, range999999},
      {{"set", "wallpapers", "many"}, 2, "Enter an integer."},
      {{"set", "wallpapers", "1"}, 0, "wallpapers: up to 1, any tags"},
      {{"set", "clocks", "999999"}, 0, "clocks: up to 999999, any tags"},
      {{"set", "clocks", "5", std::string(1024, 't')}, 2, "longer than the 1023 characters"},
      {{"set", "clocks", "5", std::string(1023, 't')}, 0, "clocks: up to 5, tags"},
      {{"set", "clocks", "5", "a\tb"}, 2, "the tags hold a control character"},
      {{"set", "size", "0x200"}, 2, "Enter an integer between 1 and 65535."},
      {{"set", "size", "65536x200"}, 2, "Enter an integer between 1 and 65535."},
      {{"set", "size", "320*200"}, 2, "WIDTHxHEIGHT expected"},
      {{"set", "size", "65535x1"}, 0, "picture size without a monitor 65535x1"},
      {{"set"}, 2, "Try 'orvella-host --help'"},
      {{"set", "colour", "red"}, 2, "unknown setting 'colour'"},
      {{"set", "folder"}, 2, "set folder takes DIR"},
      {{"set", "folder", "a", "b"}, 2, "set folder takes DIR"},
      {{"set", "wallpapers"}, 2, "set wallpapers takes MAX [TAGS]"},
      {{"unset", "folder"}, 2, "unset takes wallpapers or clocks"},
      {{"unset", "clocks", "now"}, 2, "unexpected argument 'now'"},
      {{"sign-out", "now"}, 2, "unexpected argument 'now'"},
      {{"--password-stdin", "show"}, 2, "--password-stdin goes with sign-in only"},
  };
  for (const Case& c : cases) {
    std::string before = Profile();
    EXPECT_EQ(Run(c.args), c.status) << c.args.back() << "\n" << host->err();
    EXPECT_TRUE(Has(c.status == 0 ? host->out() : host->err(), c.message))
        << c.args.back() << ": " << host->out() << host->err();
    if (c.status != 0) {
      EXPECT_EQ(host->out(), "");
      EXPECT_EQ(Profile(), before) << c.args.back();
    }
  }
}

// An interval below an hour is saved with the dialog's warning; an hour is not warned of.
TEST_F(HostSetupTest, ShortIntervalsAreSavedWithTheDialogsWarning) {
  for (const auto& [interval, warned, minutes] :
       {std::tuple{"59", true, 59}, {"0", true, 0}, {"0:60", false, 60}, {"1:-1", true, 59}}) {
    EXPECT_EQ(Run({"set", "interval", interval}), 0) << host->err();
    EXPECT_EQ(Has(host->err(), kShortIntervalWarning), warned) << interval << host->err();
    EXPECT_TRUE(Has(Profile(), "tmUpdate=" + std::to_string(minutes) + "\n")) << Profile();
  }
}

// A relative folder is the one it names from where the command runs: the worker refuses
// relative folders.
TEST_F(HostSetupTest, ARelativeFolderIsSavedAsTheFolderItNames) {
  std::filesystem::create_directory(pictures / "sub");
  ChildProcess::Options inPictures;
  const std::string program = ORVELLA_HOST_PATH;
  EXPECT_EQ(Run({"--profile", (home / "p.ini").string(), "show"}), 0);
  host = std::make_unique<ChildProcess>(
      "/bin/sh",
      std::vector<std::string>{"-c", "cd '" + pictures.path().string() + "' && exec '" + program +
                                         "' --module '" + ORVELLA_MODULE_PATH + "' --profile '" +
                                         (home / "p.ini").string() + "' set folder sub/../sub"});
  EXPECT_EQ(host->Wait(), 0) << host->err();
  std::ifstream in(home / "p.ini");
  std::ostringstream text;
  text << in.rdbuf();
  EXPECT_TRUE(Has(text.str(), "ImgFolder=" + (pictures / "sub").string() + "\n")) << text.str();
}

// The feeds are rebuilt as the dialog's OK rebuilds them: the media type set replaces
// its feed, the other type keeps the last of its feeds among the first five, and what
// the dialog does not show is gone. Comments and keys of others stay.
TEST_F(HostSetupTest, MediaSettingsRebuildTheFeedsAsTheDialogDoes) {
  std::filesystem::create_directories(ProfilePath().parent_path());
  std::ofstream(ProfilePath()) << "; my profile\n[OrvellaPlugIn]\nMine=kept\nnFeeds=6\n"
                                  "Feed0_Type=1\nFeed0_MaxP=5\nFeed0_Tags=old\nFeed0_Flg=1\n"
                                  "Feed1_Type=7\nFeed1_MaxP=9\nFeed1_Flg=1\n"
                                  "Feed2_Type=1\nFeed2_MaxP=8\nFeed2_Tags=sea\nFeed2_Flg=0\n"
                                  "Feed3_Type=2\nFeed3_MaxP=4\nFeed3_Flg=1\n"
                                  "Feed4_Type=2\nFeed4_MaxP=6\nFeed4_Tags=night\nFeed4_Flg=1\n"
                                  "Feed5_Type=1\nFeed5_MaxP=99\nFeed5_Flg=1\n";
  EXPECT_EQ(Run({"set", "clocks", "12", "red", "moon"}), 0) << host->err();
  std::string written = Profile();
  for (const char* line : {"; my profile\n", "Mine=kept\n", "nFeeds=2\n", "Feed0_Type=1\n",
                           "Feed0_MaxP=8\n", "Feed0_Tags=sea\n", "Feed0_Flg=1\n", "Feed1_Type=2\n",
                           "Feed1_MaxP=12\n", "Feed1_Tags=red moon\n", "Feed1_Flg=1\n"}) {
    EXPECT_TRUE(Has(written, line)) << line << " in\n" << written;
  }
  EXPECT_EQ(Run({"unset", "wallpapers"}), 0) << host->err();
  EXPECT_EQ(host->out(), "wallpapers: none (" + ProfilePath().string() + ")\n");
  written = Profile();
  for (const char* line :
       {"nFeeds=1\n", "Feed0_Type=2\n", "Feed0_MaxP=12\n", "Feed0_Tags=red moon\n"}) {
    EXPECT_TRUE(Has(written, line)) << line << " in\n" << written;
  }
  EXPECT_EQ(Run({"unset", "clocks"}), 0) << host->err();
  EXPECT_TRUE(Has(Profile(), "nFeeds=0\n")) << Profile();
}

// The service's answer decides: refused, unreachable, failing and tokenless sign-ins
// exit 1 with the reason and keep the account there was.
TEST_F(HostSetupTest, SignInIsDecidedByTheServicesAnswer) {
  EXPECT_EQ(Run({"--password-stdin", "sign-in", "demo@orvella.test"}, "demo"), 0) << host->err();
  const std::string token = AccountValue("TokenRVT");

  EXPECT_EQ(Run({"--password-stdin", "sign-in", "demo@orvella.test"}, "wrong\n"), 1);
  EXPECT_TRUE(Has(host->err(), "sign-in refused: Authorization has been denied")) << host->err();
  EXPECT_EQ(host->out(), "");
  EXPECT_EQ(AccountValue("TokenRVT"), token);

  ChildProcess::Options unreachable;
  unreachable.env["ORVELLA_SERVER_URL"] = "http://127.0.0.1:1";
  EXPECT_EQ(Run({"--password-stdin", "sign-in", "demo@orvella.test"}, "demo\n", unreachable), 1);
  EXPECT_TRUE(Has(host->err(), "Connection to Orvella server failed with error")) << host->err();
  EXPECT_TRUE(Has(host->err(), "no answer from the art service at http://127.0.0.1:1"))
      << host->err();

  LoopbackServer failing;
  failing.Set("/api/v3/user/", Reply(500, "{}"));
  ChildProcess::Options failingService;
  failingService.env["ORVELLA_SERVER_URL"] = failing.BaseUrl();
  EXPECT_EQ(Run({"--password-stdin", "sign-in", "a@b"}, "pw\n", failingService), 1);
  EXPECT_TRUE(
      Has(host->err(), "sign-in failed: Connection to Orvella server failed with error 500"))
      << host->err();
  failing.Set("/api/v3/user/", Reply(200, R"({"user_name": "Nameless"})"));
  EXPECT_EQ(Run({"--password-stdin", "sign-in", "a@b"}, "pw\n", failingService), 1);
  EXPECT_TRUE(Has(host->err(), "sent no user token; nothing was stored")) << host->err();
  failing.Set("/api/v3/user/", Reply(200, "not json"));
  EXPECT_EQ(Run({"--password-stdin", "sign-in", "a@b"}, "pw\n", failingService), 1);
  EXPECT_TRUE(Has(host->err(), "is not a sign-in answer")) << host->err();
  EXPECT_EQ(AccountValue("TokenRVT"), token);
  EXPECT_EQ(AccountValue("UserRVT"), "Demo User");

  // The other host flavour keeps an account of its own.
  EXPECT_EQ(Run({"--flavour=1", "--password-stdin", "sign-in", "demo@orvella.test"}, "demo\n"), 0);
  EXPECT_EQ(AccountValue("UserKVX"), "Demo User");

  EXPECT_EQ(Run({"sign-out"}), 0) << host->err();
  EXPECT_EQ(host->out(), "signed out; the account of Demo User is forgotten\n");
  EXPECT_EQ(AccountValue("TokenRVT"), "");
  EXPECT_EQ(AccountValue("UserRVT"), "");
  EXPECT_EQ(AccountValue("UserKVX"), "Demo User");
  EXPECT_EQ(Run({"show"}), 0);
  EXPECT_TRUE(Has(host->out(), "account: not signed in")) << host->out();
  EXPECT_EQ(Run({"sign-out"}), 0);
  EXPECT_EQ(host->out(), "not signed in; nothing to forget\n");
}

// A sign-in whose account cannot be stored whole names why, and leaves the account that
// was stored before it.
TEST_F(HostSetupTest, AnAccountThatCannotBeStoredLeavesThePreviousOne) {
  std::filesystem::create_directories(Account() / "UserRVT" / "in-the-way");
  std::ofstream(Account() / "TokenRVT", std::ios::binary) << "earlier-token";
  EXPECT_EQ(Run({"--password-stdin", "sign-in", "demo@orvella.test"}, "demo\n"), 1);
  EXPECT_TRUE(Has(host->err(), "the account could not be stored: cannot replace " +
                                   (Account() / "UserRVT").string() + ": " + std::strerror(EISDIR) +
                                   "; not signed in"))
      << host->err();
  EXPECT_EQ(AccountValue("TokenRVT"), "earlier-token");
}

// Without a terminal nothing can be asked: a usage error, not a hang.
TEST_F(HostSetupTest, SignInWithoutATerminalNeedsItsAnswersGiven) {
  EXPECT_EQ(Run({"sign-in"}), 2);
  EXPECT_TRUE(Has(host->err(), "no e-mail address given, and no terminal to ask for one"))
      << host->err();
  EXPECT_EQ(Run({"sign-in", "demo@orvella.test"}), 2);
  EXPECT_TRUE(Has(host->err(), "no terminal to ask for the password (--password-stdin"))
      << host->err();
  EXPECT_EQ(Run({"--password-stdin", "sign-in", "demo@orvella.test"}, std::string(4097, 'p')), 2);
  EXPECT_TRUE(Has(host->err(), "longer than 4096 bytes")) << host->err();
  EXPECT_FALSE(std::filesystem::exists(Account() / "TokenRVT"));
}

// On a terminal the e-mail address is asked with echo, the password without.
TEST_F(HostSetupTest, SignInAsksOnTheTerminalWithoutShowingThePassword) {
  ChildProcess::Options onTerminal;
  onTerminal.terminal = ChildProcess::Options::Terminal::kPseudo;
  onTerminal.env.emplace("HOME", home.path().string());
  onTerminal.env.emplace("XDG_CONFIG_HOME", "");
  onTerminal.env.emplace("ORVELLA_SERVER_URL", service.BaseUrl());
  host = std::make_unique<ChildProcess>(ORVELLA_HOST_PATH, std::vector<std::string>{"sign-in"},
                                        onTerminal);
  ASSERT_TRUE(host->WaitForTerminal("E-mail address: ")) << host->terminal();
  host->TypeOnTerminal("demo@orvella.test\n");
  ASSERT_TRUE(host->WaitForTerminal("Password for demo@orvella.test: ")) << host->terminal();
  host->TypeOnTerminal("demo\n");
  EXPECT_EQ(host->Wait(), 0) << host->err();
  EXPECT_EQ(host->out(), "signed in as Demo User\n");
  const std::string shown = host->terminal();
  EXPECT_TRUE(Has(shown, "demo@orvella.test\r\n")) << shown;  // the address was echoed
  EXPECT_FALSE(Has(shown.substr(shown.find("Password for")), "demo\r\n")) << shown;
}

// A small file system of its own, filled up: a full disk (root only).
class FullDisk {
 public:
  explicit FullDisk(const std::filesystem::path& at) : at_(at) {
    std::filesystem::create_directories(at_);
    mounted_ = ::geteuid() == 0 && ::mount("tmpfs", at_.c_str(), "tmpfs", 0, "size=64k") == 0;
    std::ofstream fill(at_ / "filler", std::ios::binary);
    const std::string block(4096, 'f');
    while (mounted_ && fill.write(block.data(), block.size())) {
    }
  }
  ~FullDisk() {
    if (mounted_) ::umount(at_.c_str());
  }
  bool mounted() const { return mounted_; }

 private:
  std::filesystem::path at_;
  bool mounted_ = false;
};

// orvella-host's own writes name a full disk with the system's words: the try whether the
// image folder takes a file, and the profile's save.
TEST_F(HostSetupTest, AFullDiskIsNamed) {
  const FullDisk full(pictures / "full");
  if (!full.mounted()) GTEST_SKIP() << "mounting a small file system needs root";
  const std::string space = std::strerror(ENOSPC);
  std::filesystem::create_directories(ProfilePath().parent_path());
  std::ofstream(ProfilePath()) << "[OrvellaPlugIn]\nImgFolder=" << (pictures / "full").string()
                               << "\nnFeeds=1\nFeed0_Type=1\nFeed0_Flg=1\n";
  EXPECT_EQ(Run({"sync"}), 1);
  EXPECT_TRUE(Has(host->err(), "cannot write into the image folder " +
                                   (pictures / "full").string() +
                                   ": a file cannot be created in it: " + space))
      << host->err();
  const auto profile = pictures / "full" / "profile.ini";
  EXPECT_EQ(Run({"--profile=" + profile.string(), "enable"}), 1);
  EXPECT_TRUE(Has(host->err(), "the settings were not saved: " + profile.string())) << host->err();
  EXPECT_TRUE(Has(host->err(), space)) << host->err();
  EXPECT_FALSE(std::filesystem::exists(profile));
  // Neither left anything behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(pictures / "full"), {}), 1);
}

}  // namespace
}  // namespace orvella::test

namespace orvella::test {
namespace {

// Whatever stands at the profile's name, every command returns at once: only a regular
// file of a profile's size is read, and no more feeds than the plug-in keeps.
class DamagedProfileTest : public HostSetupTest {
 protected:
  int RunWith(const std::filesystem::path& profile, std::vector<std::string> args) {
    args.insert(args.begin(), "--profile=" + profile.string());
    return Run(std::move(args));
  }
};

TEST_F(DamagedProfileTest, PipesDevicesAndHugeFilesAreNotRead) {
  const auto fifo = home / "fifo.ini";
  ASSERT_TRUE(PlantPipe(fifo));
  const auto zero = home / "zero.ini";
  ASSERT_EQ(PlantLink(zero, "/dev/zero"), Planted::kLink);
  for (const auto& profile : {fifo, zero}) {
    for (const char* command : {"show", "enable", "sync"}) {
      EXPECT_EQ(RunWith(profile, {command}), 1) << profile << " " << command;
      EXPECT_TRUE(Has(host->err(), profile.string() + ": is not a regular file")) << host->err();
      // No line to correct: the hint to correct one is not given.
      EXPECT_FALSE(Has(host->err(), "correct that line")) << host->err();
    }
  }
  struct stat info {};
  EXPECT_TRUE(::lstat(fifo.c_str(), &info) == 0 && S_ISFIFO(info.st_mode));
  // The largest profile is read; one byte more is not.
  const std::string comment = "# " + std::string((16 << 20) - 3, 'c') + "\n";
  const auto largest = home.Write("largest.ini", comment);
  EXPECT_EQ(RunWith(largest, {"show"}), 0) << host->err();
  const auto larger = home.Write("larger.ini", comment + "\n");
  EXPECT_EQ(RunWith(larger, {"enable"}), 1);
  EXPECT_TRUE(Has(host->err(), "larger.ini: is larger than 16 MiB")) << host->err();
  EXPECT_EQ(std::filesystem::file_size(larger), comment.size() + 1);
  // A link to a regular profile is followed, and stays a link when saved.
  const auto real = home.Write("real.ini", "[OrvellaPlugIn]\nEnabled=0\n");
  ASSERT_EQ(PlantLink(home / "link.ini", real), Planted::kLink);
  EXPECT_EQ(RunWith(home / "link.ini", {"enable"}), 0) << host->err();
  EXPECT_TRUE(std::filesystem::is_symlink(home / "link.ini"));
  EXPECT_TRUE(Has(home.Read("real.ini"), "Enabled=1\n"));
}

TEST_F(DamagedProfileTest, FeedCountsBeyondThePlugInsBoundReadThatMany) {
  const auto count = [](const std::string& out, const std::string& key) {
    std::size_t n = 0;
    for (std::size_t at = out.find(key); at != std::string::npos; at = out.find(key, at + 1)) ++n;
    return n;
  };
  for (const auto& [stored, noticed] :
       {std::pair{"2147483647", true}, {"999999", true}, {"1001", true}, {"1000", false}}) {
    const auto profile =
        home.Write("feeds.ini", std::string("[OrvellaPlugIn]\nnFeeds=") + stored + "\n");
    EXPECT_EQ(RunWith(profile, {"show"}), 0) << host->err();
    EXPECT_EQ(count(host->out(), "_Type "), 1000u) << stored;
    EXPECT_TRUE(Has(host->out(), "Feed999_Type")) << stored;
    EXPECT_FALSE(Has(host->out(), "Feed1000_Type")) << stored;
    EXPECT_EQ(count(host->err(), "the rest is ignored"), noticed ? 1u : 0u) << host->err();
    if (noticed) {
      EXPECT_TRUE(Has(host->err(), "feeds.ini: nFeeds is " + std::string(stored) +
                                       "; the first 1000 feeds are read and the rest is ignored"))
          << host->err();
    }
  }
  const auto profile = home.Write("feeds.ini", "[OrvellaPlugIn]\nnFeeds=2147483647\n");
  EXPECT_EQ(RunWith(profile, {"enable"}), 0) << host->err();
  EXPECT_TRUE(Has(home.Read("feeds.ini"), "nFeeds=1000\n"));
}

// The habits of other INI readers: ';' comments, a byte order mark and a section in
// another letter case are read and kept; quotes around a value are named, not kept.
TEST_F(DamagedProfileTest, UsualIniHabitsAreReadAndQuotesNamed) {
  const std::string text =
      "\xEF\xBB\xBF; written by hand\n[orvellaplugin]\n  ; the folder\nENABLED=0\n"
      "ImgFolder=" +
      pictures.path().string() + "\n";
  const auto profile = home.Write("habits.ini", text);
  EXPECT_EQ(RunWith(profile, {"show"}), 0) << host->err();
  EXPECT_TRUE(Has(host->out(), "ImgFolder      = \"" + pictures.path().string() + "\""))
      << host->out();
  EXPECT_EQ(RunWith(profile, {"enable"}), 0) << host->err();
  const std::string saved = home.Read("habits.ini");
  EXPECT_TRUE(saved.starts_with("\xEF\xBB\xBF; written by hand\n")) << saved;
  for (const char* kept : {"[orvellaplugin]\n", "  ; the folder\n", "ENABLED=1\n"}) {
    EXPECT_TRUE(Has(saved, kept)) << kept << " in\n" << saved;
  }
  EXPECT_FALSE(Has(saved, "[OrvellaPlugIn]")) << saved;
  EXPECT_FALSE(Has(saved, "\x1F")) << saved;

  for (const char* quoted : {"ImgFolder=\"/x\"\n", "tmUpdate=\"90\"\n"}) {
    const std::string q = std::string("[OrvellaPlugIn]\nEnabled=1\n") + quoted;
    const auto file = home.Write("quoted.ini", q);
    EXPECT_EQ(RunWith(file, {"enable"}), 1) << quoted;
    EXPECT_TRUE(Has(host->err(), file.string() + ":3: the value of")) << host->err();
    EXPECT_TRUE(Has(host->err(), "is in quotes")) << host->err();
    EXPECT_TRUE(Has(host->err(), "correct that line first")) << host->err();
    EXPECT_EQ(home.Read("quoted.ini"), q);
  }
}

}  // namespace
}  // namespace orvella::test
