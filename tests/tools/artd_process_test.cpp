// The orvella-artd program as tests and the demo run it: a process on a free port that
// says where it listens, serves the client and follows its catalog file.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "service/orvella_client.h"
#include "tests/support/service_fixture.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace orvella::test {
namespace {

// A running orvella-artd with its standard output on a pipe.
class ArtdProcess {
 public:
  explicit ArtdProcess(std::vector<std::string> args) {
    args.insert(args.begin(), ORVELLA_ARTD_PATH);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    int fds[2];
    if (::pipe(fds) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (spawned != 0) throw std::runtime_error("cannot start orvella-artd");
    out_ = ::fdopen(fds[0], "r");
  }
  ~ArtdProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ != nullptr) std::fclose(out_);
  }

  /// The next line of its standard output without the line end ("" at the end).
  std::string ReadLine() {
    char buffer[4096];
    if (std::fgets(buffer, sizeof buffer, out_) == nullptr) return "";
    std::string line = buffer;
    if (!line.empty() && line.back() == '\n') line.pop_back();
    return line;
  }

  /// Everything it writes to standard output until it closes it.
  std::string ReadAll() {
    std::string text;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, out_)) > 0;)
      text.append(buffer, n);
    return text;
  }

  /// Sends `signal` and returns the exit status (-1 when it did not exit normally).
  int Stop(int signal) {
    ::kill(pid_, signal);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  /// Waits for the exit status of a run that ends by itself.
  int Wait() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  FILE* out_ = nullptr;
};

class ArtdProcessTest : public ::testing::Test {
 protected:
  void SetUp() override { SetLogCallback(FakeHost::callback()); }
  void TearDown() override {
    ::unsetenv("ORVELLA_SERVER_URL");
    SetLogCallback(nullptr);
  }
  FakeHost host;
  TempDir dir;
};

std::vector<std::wstring> Names(const COrvellaFeed& feed) {
  std::vector<std::wstring> names;
  for (const COrvellaItem& item : feed.items) names.push_back(item.name);
  return names;
}

TEST_F(ArtdProcessTest, ServesOnAFreePortAndFollowsItsCatalogFile) {
  const auto catalog = dir.Write("catalog.json", R"({"items":[{"id":"one","name":"One"}]})");
  ArtdProcess artd(
      {"--port", "0", "--catalog", catalog.string(), "--email", "x@y.test", "--password", "pw"});
  const std::string first = artd.ReadLine();
  ASSERT_TRUE(first.starts_with("listening on http://127.0.0.1:")) << first;
  const std::string base = first.substr(std::string("listening on ").size());
  EXPECT_NE(base, "http://127.0.0.1:0");
  ::setenv("ORVELLA_SERVER_URL", base.c_str(), 1);

  COrvellaClient client(L"", L"");
  ASSERT_EQ(client.Authorize(L"x@y.test", L"pw"), 1);
  EXPECT_EQ(client.userName, L"x");
  EXPECT_TRUE(artd.ReadLine().starts_with("GET /api/v3/user/?client="));

  COrvellaFeed feed(kFeedTypeWallpapers, 10, L"");
  ASSERT_EQ(client.QueryFeed(feed, 100, 100), 1);
  EXPECT_EQ(Names(feed), std::vector<std::wstring>{L"One"});

  // A new catalog is picked up without a restart (the file is checked once a second).
  dir.Write("catalog.json",
            R"({"items":[{"id":"two","name":"Two"},{"id":"three","name":"Three"}]})");
  std::filesystem::last_write_time(
      catalog, std::filesystem::last_write_time(catalog) + std::chrono::seconds(5));
  do {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_EQ(client.QueryFeed(feed, 100, 100), 1);
  } while (Names(feed) == std::vector<std::wstring>{L"One"});
  EXPECT_EQ(Names(feed), (std::vector<std::wstring>{L"Two", L"Three"}));

  EXPECT_EQ(artd.Stop(SIGTERM), 0);
}

TEST_F(ArtdProcessTest, HelpDescribesTheFormatsAndBadOptionsFail) {
  ArtdProcess help({"--help"});
  const std::string text = help.ReadAll();
  EXPECT_EQ(help.Wait(), 0);
  for (const char* needle : {"--port", "--catalog", "--users", "--image-bytes", "Catalog file",
                             "listening on http://HOST:PORT"}) {
    EXPECT_NE(text.find(needle), std::string::npos) << needle;
  }

  ArtdProcess bad({"--port", "70000"});
  EXPECT_EQ(bad.ReadAll(), "");
  EXPECT_EQ(bad.Wait(), 2);
}

}  // namespace
}  // namespace orvella::test
