// orvella-artd's service, embedded, answering the plug-in's own client code.
// clang-format off
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first
#include <jpeglib.h>
// clang-format on

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <memory>
#include <thread>

#include "net/http_fetch.h"
#include "service/orvella_client.h"
#include "service/server_address.h"
#include "tests/support/service_fixture.h"
#include "tools/orvella-artd/art_service.h"

namespace orvella::test {
namespace {

using artd::Account;
using artd::ArtItem;
using artd::ArtService;
using artd::Catalog;

ArtItem Item(std::string id, std::vector<std::string> tags, bool wallpaper, bool clock) {
  ArtItem item;
  item.id = id;
  item.name = "Name of " + id;
  item.filename = id + ".jpg";
  item.tags = std::move(tags);
  item.wallpaper = wallpaper;
  item.clock = clock;
  return item;
}

Catalog SmallCatalog() {
  return Catalog{{Item("sea", {"blue", "water"}, true, false),
                  Item("sky", {"Blue", "air"}, true, true), Item("lava", {"red"}, true, false),
                  Item("tick", {"blue"}, false, true)}};
}

struct Image {
  int32_t code = 0;
  std::string bytes;
};

Image FetchImage(const std::wstring& url) {
  char* block = nullptr;
  uint32_t length = 0;
  Image image;
  image.code = FetchUrl(url, block, length);
  if (block != nullptr) image.bytes.assign(block, length);
  std::free(block);
  return image;
}

struct DecodeErrors {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

// Decodes a whole JPEG with libjpeg; returns {width, height}, or {0, 0} when it is not one.
// libjpeg's errors jump back here; nothing with a destructor lives across the jump.
std::pair<int, int> DecodeJpeg(const std::string& bytes) {
  static unsigned char row[3 * 20000];
  jpeg_decompress_struct info;
  DecodeErrors errors;
  info.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = [](j_common_ptr common) {
    std::longjmp(reinterpret_cast<DecodeErrors*>(common->err)->jump, 1);
  };
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&info);
    return {0, 0};
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  jpeg_read_header(&info, TRUE);
  jpeg_start_decompress(&info);
  if (info.output_width * info.output_components > sizeof row) std::longjmp(errors.jump, 1);
  while (info.output_scanline < info.output_height) {
    JSAMPROW rows[] = {row};
    jpeg_read_scanlines(&info, rows, 1);
  }
  jpeg_finish_decompress(&info);
  const std::pair<int, int> size{static_cast<int>(info.image_width),
                                 static_cast<int>(info.image_height)};
  jpeg_destroy_decompress(&info);
  return size;
}

class ArtdTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetLogCallback(FakeHost::callback());
    artd::ServiceOptions options;
    options.catalog = SmallCatalog();
    options.accounts = {artd::CompleteAccount({"Ann@Example.test", "p\xC3\xA4ss+&", "Ann", ""})};
    options.requestLog = [this](const std::string& line) { lines.push_back(line); };
    service = std::make_unique<ArtService>(std::move(options));
    service->Start();
    ::setenv("ORVELLA_SERVER_URL", service->BaseUrl().c_str(), 1);
  }
  void TearDown() override {
    service->Stop();
    ::unsetenv("ORVELLA_SERVER_URL");
    SetLogCallback(nullptr);
  }

  std::wstring SignIn() {
    COrvellaClient client(L"", L"");
    EXPECT_EQ(client.Authorize(L"ann@example.test", L"p\u00e4ss+&"), 1) << client.errorText;
    return client.token;
  }

  FakeHost host;
  std::vector<std::string> lines;  // written by the service's threads, read after Stop()
  std::unique_ptr<ArtService> service;
};

TEST_F(ArtdTest, SignInWithTheRightPasswordGivesNameAndToken) {
  COrvellaClient client(L"", L"");
  EXPECT_EQ(client.Authorize(L"ANN@example.TEST", L"p\u00e4ss+&"), 1);
  EXPECT_EQ(client.userName, L"Ann");
  EXPECT_FALSE(client.token.empty());
  EXPECT_EQ(client.token, SignIn());  // the same token every time
  service->Stop();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(lines[0].starts_with("GET /api/v3/user/?client=")) << lines[0];
  EXPECT_TRUE(lines[0].find(" -> 200 ") != std::string::npos) << lines[0];
}

TEST_F(ArtdTest, WrongPasswordOrUnknownAddressIsDenied) {
  const std::pair<std::wstring, std::wstring> attempts[] = {
      {L"ann@example.test", L"pass+&"},  // close, but not the same bytes
      {L"ann@example.test", L""},
      {L"bob@example.test", L"p\u00e4ss+&"},
  };
  for (const auto& [email, password] : attempts) {
    COrvellaClient client(L"", L"");
    EXPECT_EQ(client.Authorize(email, password), 0);
    EXPECT_EQ(client.errorText, L"Authorization has been denied");
  }
}

TEST_F(ArtdTest, FeedQueryHonoursKindKeywordAndLimit) {
  COrvellaClient client(SignIn(), L"Ann");
  COrvellaFeed walls(kFeedTypeWallpapers, 10, L"BLUE");
  ASSERT_EQ(client.QueryFeed(walls, 1280, 720), 1);
  ASSERT_EQ(walls.items.size(), 2u);
  EXPECT_EQ(walls.items.front().name, L"Name of sea");
  EXPECT_EQ(walls.items.front().filename, L"sea.jpg");
  EXPECT_EQ(walls.items.front().url, L"http://127.0.0.1:" + std::to_wstring(service->port()) +
                                         L"/img/wall/sea/1280x720/sea-1280x720.jpg");
  EXPECT_EQ(walls.items.back().name, L"Name of sky");

  COrvellaFeed clocks(kFeedTypeClocks, 1, L"blue");
  ASSERT_EQ(client.QueryFeed(clocks, 800, 600), 1);
  ASSERT_EQ(clocks.items.size(), 1u);  // "sky" and "tick" match; the limit keeps one
  EXPECT_TRUE(clocks.items.front().url.ends_with(L"/img/clock/sky/800x600/sky-clock-800x600.jpg"));

  COrvellaFeed twoWords(kFeedTypeWallpapers, 10, L"water blue");
  ASSERT_EQ(client.QueryFeed(twoWords, 10, 10), 1);
  ASSERT_EQ(twoWords.items.size(), 1u);
  EXPECT_EQ(twoWords.items.front().name, L"Name of sea");

  COrvellaFeed everything(kFeedTypeWallpapers, 0, L"");
  ASSERT_EQ(client.QueryFeed(everything, 10, 10), 1);
  EXPECT_TRUE(everything.items.empty());
}

TEST_F(ArtdTest, UnknownTokenAndWrongClientKeyAreRefused) {
  COrvellaClient client(L"not-a-token", L"");
  COrvellaFeed feed(kFeedTypeWallpapers, 10, L"");
  EXPECT_EQ(client.QueryFeed(feed, 10, 10), 0);
  EXPECT_EQ(client.errorText, L"Connection to Orvella server failed with error 401");

  const std::wstring base = ServerBaseUrl();
  EXPECT_EQ(FetchImage(base + L"/api/v3/art/?client=nope&limit=1&has_wall=1&wall_width=1"
                              L"&wall_height=1")
                .code,
            403);
  EXPECT_EQ(FetchImage(base + L"/api/v3/user/?client=nope&email=a&password_md5=b").code, 403);
  // A query without a kind or with an impossible size is a bad request.
  const std::wstring art = base + L"/api/v3/art/?client=" + kApiClientKey;
  EXPECT_EQ(FetchImage(art + L"&limit=1").code, 400);
  EXPECT_EQ(FetchImage(art + L"&limit=x&has_wall=1&wall_width=1&wall_height=1").code, 400);
  EXPECT_EQ(FetchImage(art + L"&limit=1&has_wall=1&wall_width=0&wall_height=1").code, 400);
  EXPECT_EQ(FetchImage(art + L"&limit=1&has_clock=1&clock_width=99999&clock_height=1").code, 400);
}

TEST_F(ArtdTest, ImagesAreRealJpegsOfTheAskedSizeAndTheSameEachTime) {
  COrvellaClient client(L"", L"");
  COrvellaFeed feed(kFeedTypeWallpapers, 10, L"air");
  ASSERT_EQ(client.QueryFeed(feed, 320, 200), 1);
  ASSERT_EQ(feed.items.size(), 1u);
  const Image first = FetchImage(feed.items.front().url);
  ASSERT_EQ(first.code, 0);
  EXPECT_EQ(DecodeJpeg(first.bytes), std::make_pair(320, 200));
  EXPECT_EQ(FetchImage(feed.items.front().url).bytes, first.bytes);

  COrvellaFeed clock(kFeedTypeClocks, 10, L"air");
  ASSERT_EQ(client.QueryFeed(clock, 64, 48), 1);
  const Image face = FetchImage(clock.items.front().url);
  EXPECT_EQ(DecodeJpeg(face.bytes), std::make_pair(64, 48));
  EXPECT_NE(face.bytes, first.bytes);
}

TEST_F(ArtdTest, ImagesOutsideTheCurrentCatalogAreNotFound) {
  const std::wstring img = ServerBaseUrl() + L"/img/";
  EXPECT_EQ(FetchImage(img + L"wall/sea/10x10/sea-10x10.jpg").code, 0);
  EXPECT_EQ(FetchImage(img + L"wall/sea/10x10/other.jpg").code, 404);
  EXPECT_EQ(FetchImage(img + L"clock/sea/10x10/sea-clock-10x10.jpg").code, 404);  // no clock
  EXPECT_EQ(FetchImage(img + L"wall/tick/10x10/tick-10x10.jpg").code, 404);       // clock only
  EXPECT_EQ(FetchImage(img + L"wall/sea/0x10/sea-0x10.jpg").code, 404);
  service->SetCatalog(Catalog{{Item("lava", {"red"}, true, false)}});
  EXPECT_EQ(FetchImage(img + L"wall/sea/10x10/sea-10x10.jpg").code, 404);
  EXPECT_EQ(FetchImage(img + L"wall/lava/10x10/lava-10x10.jpg").code, 0);
}

TEST(ArtdListen, ServesOnTheCallingThreadUntilStopped) {
  ArtService service;
  bool listened = false;
  std::thread serving([&] { listened = service.Listen("127.0.0.1", 0); });
  while (service.port() == 0) std::this_thread::yield();
  ::setenv("ORVELLA_SERVER_URL", service.BaseUrl().c_str(), 1);
  COrvellaClient client(L"", L"");
  EXPECT_EQ(client.Authorize(L"demo@orvella.test", L"demo"), 1);  // the default account
  EXPECT_EQ(client.userName, L"Demo User");
  COrvellaFeed feed(kFeedTypeClocks, 100, L"");
  EXPECT_EQ(client.QueryFeed(feed, 10, 10), 1);
  EXPECT_EQ(feed.items.size(), 8u);  // the demo catalog's clocks
  service.Stop();
  serving.join();
  EXPECT_TRUE(listened);
  ::unsetenv("ORVELLA_SERVER_URL");
  // The port is taken by nobody now; a second service can have it.
  ArtService second;
  EXPECT_EQ(second.Start("127.0.0.1", service.port()), service.port());
}

TEST(ArtdImages, PaddingReachesTheAskedSizeAndStaysAValidJpeg) {
  artd::ImageOptions options;
  options.minBytes = 300000;
  const ArtItem item = Item("pad", {}, true, true);
  const std::string padded = artd::RenderArtJpeg(item, artd::ArtKind::kWallpaper, 90, 60, options);
  EXPECT_GE(padded.size(), 300000u);
  EXPECT_LT(padded.size(), 300000u + 8);
  EXPECT_EQ(DecodeJpeg(padded), std::make_pair(90, 60));
  EXPECT_EQ(artd::RenderArtJpeg(item, artd::ArtKind::kWallpaper, 90, 60, options), padded);
}

TEST(ArtdCatalog, FileFormatDefaultsAndFaults) {
  const Catalog catalog = artd::ParseCatalog(R"({"items":[
      {"id":"a-1","name":"A"},
      {"id":"b","name":"B","filename":"x.png","tags":["t"],"types":["clock"],"color":"#0A0B0C"}]})");
  ASSERT_EQ(catalog.items.size(), 2u);
  EXPECT_EQ(catalog.items[0].filename, "a-1.jpg");
  EXPECT_TRUE(catalog.items[0].wallpaper);
  EXPECT_FALSE(catalog.items[0].clock);
  EXPECT_FALSE(catalog.items[1].wallpaper);
  EXPECT_TRUE(catalog.items[1].clock);
  EXPECT_EQ(catalog.items[1].color, 0x0A0B0Cu);
  // What the writer produces reads back the same.
  const Catalog again = artd::ParseCatalog(artd::CatalogToJson(catalog));
  EXPECT_EQ(artd::CatalogToJson(again), artd::CatalogToJson(catalog));

  for (const char* bad : {R"({"items":[{"id":"A","name":"x"}]})",  // upper case id
                          R"({"items":[{"id":"a/b","name":"x"}]})",
                          R"({"items":[{"id":"a","name":"x"},{"id":"a","name":"y"}]})",
                          R"({"items":[{"id":"a"}]})", R"({"items":[{"id":"a","name":"x",
                          "color":"red"}]})",
                          R"({"items":[{"id":"a","name":"x","types":[]}]})", R"([])", "{"}) {
    EXPECT_THROW(artd::ParseCatalog(bad), std::runtime_error) << bad;
  }
}

}  // namespace
}  // namespace orvella::test
