// A captive portal between the plug-in and the service, through the real module: the
// pages and empty bodies it answers for pictures are neither stored nor recorded, and
// the pictures arrive at the next offer once the network is itself again.
#include "tests/support/module_sync_fixture.h"

namespace orvella::test {
namespace {

class ModulePictureTest : public ModuleSyncTest {
 protected:
  ModulePictureTest() {
    server.SetCatalog(1, {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.svg"});
    server.SetCatalog(2, {});
    server.SetImage("e.svg", Reply(200, kSvg, "image/svg+xml"));
  }
  static constexpr char kPage[] =
      "<!DOCTYPE html>\n<html><head><title>Guest WiFi</title></head>"
      "<body><form action=\"/login\">Accept the terms</form></body></html>\n";
  static constexpr char kSvg[] = "<svg xmlns=\"http://www.w3.org/2000/svg\"/>";
};

TEST_F(ModulePictureTest, PortalPagesAreNotStoredAndThePicturesComeOnceItIsGone) {
  server.SetImage("a.jpg", Reply(200, kPage, "text/html"));
  server.SetImage("b.jpg", Reply(200, kPage, "image/jpeg"));  // the type says nothing true
  server.SetImage("c.jpg", Reply(200, "", "image/jpeg"));
  server.SetImage("d.jpg", Reply(200, PatternBytes(50000, 'd'), "TEXT/HTML; Charset=UTF-8"));
  Pass();
  const std::pair<const char*, const wchar_t*> refused[] = {{"a.jpg", L"Content-Type text/html"},
                                                            {"b.jpg", L"HTML document"},
                                                            {"c.jpg", L"empty body"},
                                                            {"d.jpg", L"Content-Type text/html"}};
  for (const auto& [name, reason] : refused) {
    EXPECT_TRUE(host.Logged(L"DownloadImage(), not a picture (" + std::wstring(reason) +
                            L"), url=" + server.ImageUrl(name)))
        << name;
    EXPECT_FALSE(fs::exists(folder / name)) << name;
  }
  EXPECT_EQ(host.CountLogs(L"DownloadImage(), not a picture"), 4);
  EXPECT_EQ(folder.Read("e.svg"), kSvg);  // a picture that begins with '<'
  EXPECT_EQ(CountInFolder(".__t"), 0);
  EXPECT_EQ(ListedPairs(),
            (std::set<std::pair<std::string, std::string>>{{Url("e.svg"), "e.svg"}}));

  // The network is itself again: the next offer fetches what the portal answered.
  for (const auto& [name, reason] : refused) server.SetImage(name, PatternBytes(50000, name[0]));
  Pass();
  for (const auto& [name, reason] : refused) {
    EXPECT_EQ(folder.Read(name), PatternBytes(50000, name[0])) << name;
    EXPECT_EQ(server.ImageRequests(name), 2) << name;
  }
  EXPECT_EQ(server.ImageRequests("e.svg"), 1);
  EXPECT_EQ(ListedPairs().size(), 5u);
  EXPECT_EQ(host.CountLogs(L"DownloadImage(), not a picture"), 0);
}

}  // namespace
}  // namespace orvella::test
