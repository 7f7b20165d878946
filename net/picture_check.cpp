// The picture check: the Content-Type's type and subtype, and a small scanner over the
// first body bytes that can tell it needs more of them.
#include "net/picture_check.h"

#include <algorithm>

namespace orvella {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// The start tags browsers take as the mark of an HTML page when no type says so.
constexpr std::string_view kHtmlTags[] = {"html",  "head",  "body", "script", "iframe",
                                          "h1",    "div",   "font", "table",  "a",
                                          "style", "title", "b",    "br",     "p"};

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

enum class Match { kYes, kNo, kPartial };

// Whether `text` begins with `word` (lower case), letters in any case; kPartial when
// `text` ends while it still matches.
Match StartsWithNoCase(std::string_view text, std::string_view word) {
  const std::size_t n = std::min(text.size(), word.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (Lower(text[i]) != word[i]) return Match::kNo;
  }
  return text.size() >= word.size() ? Match::kYes : Match::kPartial;
}

// Whether `text` begins with the name `word` and a byte that ends a name: a blank, '>'
// and, where `slashEnds`, '/'.
Match NameThenEnd(std::string_view text, std::string_view word, bool slashEnds) {
  const Match match = StartsWithNoCase(text, word);
  if (match != Match::kYes) return match;
  if (text.size() == word.size()) return Match::kPartial;
  const char next = text[word.size()];
  return IsBlank(next) || next == '>' || (slashEnds && next == '/') ? Match::kYes : Match::kNo;
}

HeadKind KindOf(Match match) {
  if (match == Match::kYes) return HeadKind::kHtml;
  return match == Match::kNo ? HeadKind::kOther : HeadKind::kNeedMore;
}

std::size_t SkipBlanks(std::string_view text, std::size_t at) {
  while (at < text.size() && IsBlank(text[at])) ++at;
  return at;
}

// `markup` begins with "<!" and is no comment: a document type of HTML or anything else.
HeadKind ClassifyDeclaration(std::string_view markup) {
  constexpr std::string_view kDoctype = "<!doctype";
  const Match doctype = StartsWithNoCase(markup, kDoctype);
  if (doctype != Match::kYes) return KindOf(doctype);
  std::size_t at = kDoctype.size();
  if (at == markup.size()) return HeadKind::kNeedMore;
  if (!IsBlank(markup[at])) return HeadKind::kOther;
  at = SkipBlanks(markup, at);
  if (at == markup.size()) return HeadKind::kNeedMore;
  return KindOf(NameThenEnd(markup.substr(at), "html", false));
}

// `markup` begins with '<' and a byte that starts no declaration: a start tag.
HeadKind ClassifyStartTag(std::string_view markup) {
  bool partial = false;
  for (const std::string_view tag : kHtmlTags) {
    const Match match = NameThenEnd(markup.substr(1), tag, true);
    if (match == Match::kYes) return HeadKind::kHtml;
    partial = partial || match == Match::kPartial;
  }
  return partial ? HeadKind::kNeedMore : HeadKind::kOther;
}

// The end of the piece of markup `open` begins at `at` and `close` ends: processing
// instructions and comments are passed over. npos when `head` ends first.
std::size_t EndOf(std::string_view head, std::size_t at, std::string_view open,
                  std::string_view close) {
  const std::size_t found = head.find(close, at + open.size());
  return found == std::string_view::npos ? found : found + close.size();
}

}  // namespace

const wchar_t* NotPictureText(NotPicture reason) {
  switch (reason) {
    case NotPicture::kEmptyBody:
      return L"empty body";
    case NotPicture::kHtmlType:
      return L"Content-Type text/html";
    case NotPicture::kHtmlBody:
      return L"HTML document";
    case NotPicture::kNone:
      break;
  }
  return L"";
}

bool IsHtmlContentType(std::string_view contentType) {
  std::string_view essence = contentType.substr(0, contentType.find(';'));
  const std::size_t first = SkipBlanks(essence, 0);
  essence.remove_prefix(first);
  while (!essence.empty() && IsBlank(essence.back())) essence.remove_suffix(1);
  constexpr std::string_view kHtml = "text/html";
  return essence.size() == kHtml.size() && StartsWithNoCase(essence, kHtml) == Match::kYes;
}

HeadKind ClassifyHead(std::string_view head) {
  std::size_t at = 0;
  const std::string_view start = head.substr(0, kUtf8Bom.size());
  if (start == kUtf8Bom) {
    at = kUtf8Bom.size();
  } else if (kUtf8Bom.starts_with(start)) {
    return HeadKind::kNeedMore;  // empty, or a byte order mark cut short
  }
  for (;;) {
    at = SkipBlanks(head, at);
    if (at == head.size()) return HeadKind::kNeedMore;
    if (head[at] != '<') return HeadKind::kOther;
    if (at + 1 == head.size()) return HeadKind::kNeedMore;
    const std::string_view markup = head.substr(at);
    if (markup[1] == '?') {
      at = EndOf(head, at, "<?", "?>");
    } else if (const Match comment = StartsWithNoCase(markup, "<!--"); comment == Match::kYes) {
      at = EndOf(head, at, "<!--", "-->");
    } else if (comment == Match::kPartial) {
      return HeadKind::kNeedMore;
    } else if (markup[1] == '!') {
      return ClassifyDeclaration(markup);
    } else {
      return ClassifyStartTag(markup);
    }
    if (at == std::string_view::npos) return HeadKind::kNeedMore;
  }
}

PictureCheck::PictureCheck(std::string_view contentType) {
  if (IsHtmlContentType(contentType)) verdict_ = NotPicture::kHtmlType;
}

NotPicture PictureCheck::Look(const char* data, std::size_t size) {
  if (verdict_ != NotPicture::kNone || decided_ || size == 0) return verdict_;
  anyBody_ = true;
  head_.append(data, std::min(size, kPictureHeadBytes - head_.size()));
  switch (ClassifyHead(head_)) {
    case HeadKind::kHtml:
      verdict_ = NotPicture::kHtmlBody;
      decided_ = true;
      break;
    case HeadKind::kOther:
      decided_ = true;
      break;
    case HeadKind::kNeedMore:
      decided_ = head_.size() >= kPictureHeadBytes;
      break;
  }
  if (decided_) std::string().swap(head_);
  return verdict_;
}

NotPicture PictureCheck::End() const {
  if (verdict_ != NotPicture::kNone) return verdict_;
  return anyBody_ ? NotPicture::kNone : NotPicture::kEmptyBody;
}

}  // namespace orvella
