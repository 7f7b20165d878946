// The formatter behind Format and WriteLog: %s, %d and %% into wide text.
#include "base/text_format.h"

#include <algorithm>

namespace orvella {
namespace {

// Writes the decimal digits of value into buf (from its end); returns the first used index.
std::size_t Decimal(int32_t value, wchar_t (&buf)[12]) {
  std::size_t pos = 12;
  int64_t v = value;
  const bool negative = v < 0;
  if (negative) v = -v;
  do {
    buf[--pos] = static_cast<wchar_t>(L'0' + v % 10);
    v /= 10;
  } while (v != 0);
  if (negative) buf[--pos] = L'-';
  return pos;
}

// Calls sink(piece) for each literal run and each argument of the format.
template <class Sink>
void Walk(std::wstring_view format, const FormatArg* args, std::size_t count, Sink&& sink) {
  std::size_t next = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != L'%' || i + 1 >= format.size()) continue;
    if (!sink(format.substr(start, i - start))) return;
    const wchar_t c = format[++i];
    start = i + 1;
    if (c == L'%') {
      if (!sink(std::wstring_view(L"%", 1))) return;
      continue;
    }
    if (next >= count) continue;
    const FormatArg& arg = args[next++];
    if (arg.kind == ArgKind::kText) {
      if (!sink(arg.text)) return;
    } else {
      wchar_t buf[12];
      const std::size_t first = Decimal(arg.number, buf);
      if (!sink(std::wstring_view(buf + first, 12 - first))) return;
    }
  }
  sink(format.substr(std::min(start, format.size())));
}

}  // namespace

std::size_t FormatInto(wchar_t* out, std::size_t capacity, std::wstring_view format,
                       const FormatArg* args, std::size_t count) {
  if (capacity == 0) return 0;
  std::size_t used = 0;
  const std::size_t limit = capacity - 1;
  Walk(format, args, count, [&](std::wstring_view piece) {
    const std::size_t n = std::min(piece.size(), limit - used);
    std::copy_n(piece.data(), n, out + used);
    used += n;
    return used < limit;
  });
  out[used] = L'\0';
  return used;
}

std::wstring FormatToString(std::wstring_view format, const FormatArg* args, std::size_t count) {
  std::wstring result;
  Walk(format, args, count, [&](std::wstring_view piece) {
    result.append(piece);
    return true;
  });
  return result;
}

}  // namespace orvella
