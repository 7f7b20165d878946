// Whether an image answer can be a picture. A captive portal or a proxy answers every URL
// with 200 and a page of its own; stored under the picture's name and recorded, that page
// would never be fetched again. The check reads the answer's Content-Type and the first
// bytes of its body only, as they arrive.
//
// What counts as an HTML document: after an optional UTF-8 byte order mark, blanks,
// processing instructions (an XML declaration) and comments, either a document type
// "<!DOCTYPE html" or one of the start tags that browsers take as the mark of an HTML
// page when no type says so (html, head, body, script, iframe, h1, div, font, table, a,
// style, title, b, br, p), each followed by a blank, '>' or '/', in any letter case. An
// SVG or other XML picture ("<?xml", "<!DOCTYPE svg", "<svg", a comment and then "<svg")
// is not HTML, and neither is a body whose first bytes are anything else.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orvella {

/// Body bytes looked at; a body not found to be HTML within them counts as a picture.
inline constexpr std::size_t kPictureHeadBytes = 1024;

/// Why an answer is not a picture; kNone while it may be one.
enum class NotPicture { kNone, kEmptyBody, kHtmlType, kHtmlBody };

/// Returns the reason's text for a log line: "empty body", "Content-Type text/html" or
/// "HTML document" ("" for kNone).
const wchar_t* NotPictureText(NotPicture reason);

/// Returns true when a Content-Type value names text/html: in any letter case, with
/// blanks around it and with or without parameters ("text/html; charset=utf-8").
bool IsHtmlContentType(std::string_view contentType);

/// How far the beginning of a body tells whether it is an HTML document.
enum class HeadKind {
  kHtml,      // it begins with an HTML document
  kOther,     // it does not
  kNeedMore,  // `head` ends before it tells; more bytes would
};

/// Returns what `head`, the first bytes of a body, tells (see the file comment).
HeadKind ClassifyHead(std::string_view head);

/// The check of one 200 answer as it arrives: its Content-Type first, then its body
/// block by block. Keeps at most kPictureHeadBytes of the body. Called on the thread that
/// reads the answer.
class PictureCheck {
 public:
  /// Takes the answer's Content-Type value, "" when it had none.
  explicit PictureCheck(std::string_view contentType);
  /// Returns kHtmlType when the Content-Type named an HTML page, else kNone.
  NotPicture verdict() const { return verdict_; }
  /// Looks at the next body bytes. Returns the reason once the answer is known not to be
  /// a picture (from then on, every call returns it), else kNone.
  NotPicture Look(const char* data, std::size_t size);
  /// Returns, once the whole body arrived, the reason it is not a picture (an empty body
  /// is not one), else kNone.
  NotPicture End() const;

 private:
  NotPicture verdict_ = NotPicture::kNone;
  bool decided_ = false;  // the head has told, or passed kPictureHeadBytes
  bool anyBody_ = false;
  std::string head_;
};

}  // namespace orvella
