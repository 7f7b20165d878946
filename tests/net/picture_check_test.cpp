// The picture check: which Content-Type values and which first bytes make an answer a
// page rather than a picture, and that it decides from the first bytes as they arrive.
#include "net/picture_check.h"

#include <gtest/gtest.h>

#include <string>

namespace orvella::test {
namespace {

TEST(PictureCheck, OnlyTheTextHtmlTypeNamesAPage) {
  for (const char* type : {"text/html", "TEXT/HTML", "Text/Html; charset=utf-8",
                           " text/html ;charset=ISO-8859-1", "text/html\t", "text/html;"}) {
    EXPECT_TRUE(IsHtmlContentType(type)) << type;
  }
  for (const char* type :
       {"", "image/jpeg", "image/svg+xml", "text/htmlx", "text/htm", "xtext/html",
        "text/plain; x=text/html", "application/xhtml+xml", "text /html"}) {
    EXPECT_FALSE(IsHtmlContentType(type)) << type;
  }
}

TEST(PictureCheck, PagesAreToldFromTheirFirstMarkup) {
  const char* pages[] = {
      "<!DOCTYPE html><html>",
      "<!doctype HTML>",
      "<!DOCTYPE\n  html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\">",
      "<html lang=\"en\">",
      "\xEF\xBB\xBF<html>",
      "  \r\n\t\f<html>",
      "\xEF\xBB\xBF \n<!-- portal --> <!----><!doctype html>",
      "<?xml version=\"1.0\"?>\n<!DOCTYPE html>",
      "<?xml version=\"1.0\"?><html xmlns=\"http://www.w3.org/1999/xhtml\">",
      "<head><meta http-equiv=\"refresh\" content=\"0;url=/login\">",
      "<body onload=\"go()\">",
      "<script>location='/login'</script>",
      "<title>Hotel WiFi</title>",
      "<p>Please sign in",
      "<br/>",
      "<a href=\"/login\">",
  };
  for (const std::string page : pages) EXPECT_EQ(ClassifyHead(page), HeadKind::kHtml) << page;
}

TEST(PictureCheck, PicturesAndOtherMarkupAreNotPages) {
  const char* others[] = {
      "<svg xmlns=\"http://www.w3.org/2000/svg\">",
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg>",
      "<?xml version=\"1.0\"?><!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\">",
      "<!-- Generator: a drawing program -->\n<svg>",
      "<!DOCTYPE htmlx>",
      "<!DOCTYPEhtml>",
      "<!ENTITY x>",
      "<htmlx>",
      "<bodyguard>",
      "<path d=\"M0\"/>",
      "<h2>",
      "<<html>",
      "\xFF\xD8\xFF\xE0<html>",  // a JPEG that happens to hold the text
      "\x89PNG\r\n\x1a\n",
      "x<html>",
      "\xEF\xBB<html>",  // a byte order mark cut short is no byte order mark
      "\xEF\xBB\xBF\xEF\xBB\xBF<html>",
  };
  for (const std::string other : others) EXPECT_EQ(ClassifyHead(other), HeadKind::kOther) << other;
}

TEST(PictureCheck, BeginningsCutShortAskForMore) {
  for (const std::string head : {"",
                                 "\xEF",
                                 "\xEF\xBB",
                                 "\xEF\xBB\xBF",
                                 "   ",
                                 "<",
                                 "<h",
                                 "<ht",
                                 "<html",
                                 "<!",
                                 "<!-",
                                 "<!--",
                                 "<!-- still a comment --",
                                 "<?xml version",
                                 "<!DOC",
                                 "<!DOCTYPE",
                                 "<!DOCTYPE ",
                                 "<!DOCTYPE ht",
                                 "<!DOCTYPE html",
                                 "<b",
                                 "<s",
                                 "<sc"}) {
    EXPECT_EQ(ClassifyHead(head), HeadKind::kNeedMore) << head;
  }
}

TEST(PictureCheck, BodyIsJudgedAsItArrivesFromItsFirstBytesOnly) {
  // A page that arrives a byte at a time is told as soon as its tag ends.
  const std::string page = "\xEF\xBB\xBF <!-- c --><html><body>sign in</body></html>";
  PictureCheck dripped("");
  std::size_t told = 0;
  for (std::size_t i = 0; i < page.size() && told == 0; ++i) {
    if (dripped.Look(&page[i], 1) != NotPicture::kNone) told = i + 1;
  }
  EXPECT_EQ(told, page.find("<html>") + 6);
  EXPECT_EQ(dripped.Look("more", 4), NotPicture::kHtmlBody);
  EXPECT_EQ(dripped.End(), NotPicture::kHtmlBody);

  // Beyond the bytes looked at, a beginning that never told counts as a picture.
  const std::string blanks(kPictureHeadBytes - 1, ' ');
  PictureCheck longBlank("image/png");
  EXPECT_EQ(longBlank.Look(blanks.data(), blanks.size()), NotPicture::kNone);
  EXPECT_EQ(longBlank.Look("<html>", 6), NotPicture::kNone);
  EXPECT_EQ(longBlank.End(), NotPicture::kNone);
  PictureCheck justInside("image/png");
  const std::string inside = std::string(kPictureHeadBytes - 6, ' ') + "<html>";
  EXPECT_EQ(justInside.Look(inside.data(), inside.size()), NotPicture::kHtmlBody);

  // A picture cut short where a page could still begin is a picture at its end.
  PictureCheck shortSvg("image/svg+xml");
  EXPECT_EQ(shortSvg.Look("<h", 2), NotPicture::kNone);
  EXPECT_EQ(shortSvg.End(), NotPicture::kNone);
}

TEST(PictureCheck, TypeAndEmptyBodyDecideWithoutAnyByte) {
  PictureCheck typed("text/html; charset=UTF-8");
  EXPECT_EQ(typed.verdict(), NotPicture::kHtmlType);
  EXPECT_EQ(typed.Look("\xFF\xD8", 2), NotPicture::kHtmlType);
  EXPECT_EQ(typed.End(), NotPicture::kHtmlType);
  PictureCheck empty("image/jpeg");
  EXPECT_EQ(empty.verdict(), NotPicture::kNone);
  EXPECT_EQ(empty.Look("", 0), NotPicture::kNone);
  EXPECT_EQ(empty.End(), NotPicture::kEmptyBody);
  PictureCheck oneByte("");
  EXPECT_EQ(oneByte.Look("\0", 1), NotPicture::kNone);
  EXPECT_EQ(oneByte.End(), NotPicture::kNone);
  EXPECT_STREQ(NotPictureText(NotPicture::kEmptyBody), L"empty body");
  EXPECT_STREQ(NotPictureText(NotPicture::kHtmlType), L"Content-Type text/html");
  EXPECT_STREQ(NotPictureText(NotPicture::kHtmlBody), L"HTML document");
}

}  // namespace
}  // namespace orvella::test
