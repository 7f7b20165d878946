// Type-checked printf-style formatting of wide text.
//
// A format is always a literal of the code: its placeholders are checked
// against the argument types at compile time. Supported placeholders:
// "%s" (wide text: std::wstring, std::wstring_view, const wchar_t*),
// "%d" (any integer, shown as a 32-bit signed value, as the wire formats expect)
// and "%%" (a percent sign). Anything else after '%' fails to compile.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

namespace orvella {

enum class ArgKind : unsigned char { kInt, kText };

template <class T>
constexpr ArgKind KindOf() {
  using U = std::remove_cvref_t<T>;
  if constexpr (std::is_integral_v<U> || std::is_enum_v<U>) {
    return ArgKind::kInt;
  } else {
    static_assert(std::is_convertible_v<const U&, std::wstring_view> ||
                      std::is_same_v<std::decay_t<U>, const wchar_t*> ||
                      std::is_same_v<std::decay_t<U>, wchar_t*>,
                  "format arguments are integers or wide text");
    return ArgKind::kText;
  }
}

/// A format literal whose placeholders match Args; checked when it is constructed.
template <class... Args>
class FormatString {
 public:
  template <std::size_t N>
  consteval FormatString(const wchar_t (&text)[N]) : text_(text, N - 1) {
    constexpr ArgKind kinds[sizeof...(Args) + 1] = {KindOf<Args>()..., ArgKind::kInt};
    std::size_t next = 0;
    for (std::size_t i = 0; i + 1 < N; ++i) {
      if (text[i] != L'%') continue;
      const wchar_t c = (i + 2 < N) ? text[i + 1] : L'\0';
      ++i;
      if (c == L'%') continue;
      if (next >= sizeof...(Args)) FormatError("more placeholders than arguments");
      if (c == L'd' && kinds[next] != ArgKind::kInt) FormatError("%d needs an integer");
      if (c == L's' && kinds[next] != ArgKind::kText) FormatError("%s needs wide text");
      if (c != L'd' && c != L's') FormatError("only %s, %d and %% are supported");
      ++next;
    }
    if (next != sizeof...(Args)) FormatError("more arguments than placeholders");
  }
  constexpr std::wstring_view text() const { return text_; }

 private:
  static void FormatError(const char*) {}  // not constexpr: reaching it fails compilation
  std::wstring_view text_;
};

/// One formatted argument, as the formatter sees it.
struct FormatArg {
  ArgKind kind;
  int32_t number;
  std::wstring_view text;
};

template <class T>
FormatArg MakeFormatArg(const T& value) {
  if constexpr (KindOf<T>() == ArgKind::kInt) {
    return {ArgKind::kInt, static_cast<int32_t>(value), {}};
  } else if constexpr (std::is_array_v<T>) {
    return {ArgKind::kText, 0, std::wstring_view(value)};
  } else if constexpr (std::is_pointer_v<std::decay_t<T>>) {
    // A null text prints as nothing rather than crashing a diagnostic line.
    return {ArgKind::kText, 0, value ? std::wstring_view(value) : std::wstring_view()};
  } else {
    return {ArgKind::kText, 0, std::wstring_view(value)};
  }
}

/// Formats into out[0..capacity-1], always zero-terminated, cutting what does not fit.
/// Returns the number of characters written before the terminating zero. Any thread.
std::size_t FormatInto(wchar_t* out, std::size_t capacity, std::wstring_view format,
                       const FormatArg* args, std::size_t count);

/// Formats into a new string (no length limit). Any thread.
std::wstring FormatToString(std::wstring_view format, const FormatArg* args, std::size_t count);

/// Returns the formatted text. Any thread; throws only std::bad_alloc.
template <class... Args>
std::wstring Format(FormatString<std::type_identity_t<Args>...> format, const Args&... args) {
  const FormatArg packed[sizeof...(Args) + 1] = {MakeFormatArg(args)..., FormatArg{}};
  return FormatToString(format.text(), packed, sizeof...(Args));
}

}  // namespace orvella
