// The orvella-artd program as tests and the demo run it: a process on a free port that
// says where it listens, serves the client and follows its catalog file.
#include <httplib.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "service/orvella_client.h"
#include "tests/support/child_process.h"
#include "tests/support/service_fixture.h"
#include "tests/support/temp_dir.h"

namespace orvella::test {
namespace {

// A running orvella-artd, its output read as it comes.
class ArtdProcess : public ChildProcess {
 public:
  explicit ArtdProcess(std::vector<std::string> args)
      : ChildProcess(ORVELLA_ARTD_PATH, std::move(args)) {}
  /// "http://127.0.0.1:PORT" from its first line ("" when it said something else).
  std::string BaseUrl() {
    const std::string first = FirstLine();
    const std::string prefix = "listening on ";
    return first.starts_with(prefix) ? first.substr(prefix.size()) : "";
  }
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
      {"--port=0", "--catalog", catalog.string(), "--email", "x@y.test", "--password=pw"});
  const std::string base = artd.BaseUrl();
  ASSERT_TRUE(base.starts_with("http://127.0.0.1:")) << artd.out();
  EXPECT_NE(base, "http://127.0.0.1:0");
  ::setenv("ORVELLA_SERVER_URL", base.c_str(), 1);

  COrvellaClient client(L"", L"");
  ASSERT_EQ(client.Authorize(L"x@y.test", L"pw"), 1);
  EXPECT_EQ(client.userName, L"x");
  // The digest is a credential: the log shows that it came, not what it was.
  ASSERT_TRUE(artd.WaitForOut("&password_md5=*** -> 200"));
  EXPECT_EQ(artd.out().find(OpenSslMd5Hex("pw")), std::string::npos);

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

  // Only reads are served.
  httplib::Client http(base);
  for (const auto& result : {http.Post("/api/v3/art/"), http.Put("/img/x", "x", "text/plain"),
                             http.Delete("/api/v3/user/")}) {
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 405);
    EXPECT_EQ(result->get_header_value("Allow"), "GET, HEAD");
  }
  EXPECT_EQ(http.Get("/nothing")->status, 404);

  artd.Signal(SIGTERM);
  EXPECT_EQ(artd.Wait(), 0);
}

// A second service on a port in use would share it and answer half the queries.
TEST_F(ArtdProcessTest, APortInUseIsRefused) {
  ArtdProcess first({"--port", "0"});
  const std::string base = first.BaseUrl();
  ASSERT_FALSE(base.empty()) << first.err();
  const std::string port = base.substr(base.rfind(':') + 1);
  ArtdProcess second({"--port", port});
  EXPECT_EQ(second.Wait(), 1);
  EXPECT_EQ(second.out(), "");
  EXPECT_NE(
      second.err().find("cannot listen on 127.0.0.1:" + port + ": the port is already in use"),
      std::string::npos)
      << second.err();
  first.Signal(SIGINT);
  EXPECT_EQ(first.Wait(), 0);
}

TEST_F(ArtdProcessTest, HelpDescribesTheFormatsAndBadOptionsFail) {
  ArtdProcess help({"--help"});
  EXPECT_EQ(help.Wait(), 0);
  const std::string text = help.out();
  for (const char* needle : {"--port", "--catalog", "--users", "--image-bytes", "Catalog file",
                             "listening on http://HOST:PORT", "orvella-artd(1)"}) {
    EXPECT_NE(text.find(needle), std::string::npos) << needle;
  }
  // A terminal's width, and a text that could not be written is no success.
  for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
    EXPECT_LE(end - at, 80u) << text.substr(at, end - at);
  }
  for (const char* option : {"--help", "--version", "--dump-catalog"}) {
    ChildProcess full("/bin/sh", {"-c", std::string("exec '") + ORVELLA_ARTD_PATH + "' " + option +
                                            " > /dev/full"});
    EXPECT_EQ(full.Wait(), 1) << option;
    EXPECT_NE(full.err().find("cannot write to standard output"), std::string::npos) << option;
  }

  for (const std::vector<std::string>& args : {std::vector<std::string>{"--port", "70000"},
                                               {"--port=-1"},
                                               {"--port=8x"},
                                               {"--port"},
                                               {"--nope"},
                                               {"stray"},
                                               {"--jpeg-quality=0"},
                                               {"--jpeg-quality=101"}}) {
    ArtdProcess bad(args);
    EXPECT_EQ(bad.Wait(), 2) << args[0];
    EXPECT_EQ(bad.out(), "");
    EXPECT_NE(bad.err().find("Try 'orvella-artd --help'"), std::string::npos) << bad.err();
  }
  ArtdProcess version({"-V"});
  EXPECT_EQ(version.Wait(), 0);
  EXPECT_EQ(version.out(), std::string("orvella-artd ") + ORVELLA_VERSION_TEXT + "\n");
}

}  // namespace
}  // namespace orvella::test
