// The resources compiled into Orvella.rpl match the one description in resources/: the
// dialog templates control by control, and the string table entry by entry.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "resources/dialog_templates.h"
#include "resources/string_table.h"
#include "tests/support/module_host.h"

namespace orvella::test {
namespace {

struct ParsedControl {
  uint32_t style = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
  int id = 0;
  std::wstring windowClass;
  std::wstring text;
};

struct ParsedDialog {
  uint32_t style = 0;
  int cx = 0, cy = 0;
  std::wstring title;
  int fontPoints = 0;
  std::wstring fontName;
  std::vector<ParsedControl> controls;
};

// Reads a DLGTEMPLATE resource (the classic layout, as a DIALOG statement compiles).
class DialogReader {
 public:
  explicit DialogReader(const unsigned char* data) : p_(data) {}

  ParsedDialog Read() {
    ParsedDialog dialog;
    dialog.style = Dword();
    Dword();  // extended style
    const int count = Word();
    Word();  // x
    Word();  // y
    dialog.cx = static_cast<int16_t>(Word());
    dialog.cy = static_cast<int16_t>(Word());
    NameOrOrdinal();  // menu
    NameOrOrdinal();  // window class
    dialog.title = Text();
    if (dialog.style & DS_SETFONT) {
      dialog.fontPoints = Word();
      dialog.fontName = Text();
    }
    for (int i = 0; i < count; ++i) dialog.controls.push_back(Control());
    return dialog;
  }

 private:
  ParsedControl Control() {
    Align(4);
    ParsedControl control;
    control.style = Dword();
    Dword();  // extended style
    control.x = static_cast<int16_t>(Word());
    control.y = static_cast<int16_t>(Word());
    control.cx = static_cast<int16_t>(Word());
    control.cy = static_cast<int16_t>(Word());
    control.id = static_cast<int16_t>(Word());
    control.windowClass = NameOrOrdinal();
    control.text = NameOrOrdinal();
    p_ += Word();  // creation data
    return control;
  }
  // A name, or an ordinal shown as "#n" (classes 0x80..0x82 by their names).
  std::wstring NameOrOrdinal() {
    Align(2);
    uint16_t first;
    std::memcpy(&first, p_, 2);
    if (first == 0xFFFF) {
      p_ += 2;
      const int ordinal = Word();
      if (ordinal == 0x80) return L"Button";
      if (ordinal == 0x81) return L"Edit";
      if (ordinal == 0x82) return L"Static";
      return L"#" + std::to_wstring(ordinal);
    }
    return Text();
  }
  std::wstring Text() {
    Align(2);
    std::wstring text;
    for (wchar_t c = static_cast<wchar_t>(Word()); c != 0; c = static_cast<wchar_t>(Word())) {
      text += c;
    }
    return text;
  }
  uint16_t Word() {
    uint16_t w;
    std::memcpy(&w, p_, 2);
    p_ += 2;
    return w;
  }
  uint32_t Dword() {
    uint32_t d;
    std::memcpy(&d, p_, 4);
    p_ += 4;
    return d;
  }
  void Align(std::size_t n) {
    while (reinterpret_cast<uintptr_t>(p_) % n != 0) ++p_;
  }
  const unsigned char* p_;
};

std::wstring Upper(std::wstring text) {
  for (wchar_t& c : text) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  }
  return text;
}

class ModuleResources : public ::testing::Test {
 protected:
  ParsedDialog LoadDialog(int id) {
    auto* instance = static_cast<HMODULE>(module.handle());
    HRSRC found = ::FindResourceW(instance, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5));
    EXPECT_NE(found, nullptr) << "dialog " << id;
    if (found == nullptr) return {};
    const auto* data =
        static_cast<const unsigned char*>(::LockResource(::LoadResource(instance, found)));
    uint16_t signature[2];
    std::memcpy(signature, data, sizeof signature);
    EXPECT_FALSE(signature[0] == 1 && signature[1] == 0xFFFF) << "an extended template";
    return DialogReader(data).Read();
  }

  void ExpectMatches(const DialogTemplate& expected) {
    const ParsedDialog dialog = LoadDialog(expected.id);
    EXPECT_EQ(dialog.style, expected.style);
    EXPECT_EQ(dialog.cx, expected.cx);
    EXPECT_EQ(dialog.cy, expected.cy);
    EXPECT_EQ(dialog.title, expected.title);
    EXPECT_EQ(dialog.fontPoints, expected.fontPoints);
    EXPECT_EQ(dialog.fontName, expected.fontName);
    ASSERT_EQ(dialog.controls.size(), expected.controls.size());
    for (std::size_t i = 0; i < dialog.controls.size(); ++i) {
      const ParsedControl& got = dialog.controls[i];
      const ControlTemplate& want = expected.controls[i];
      SCOPED_TRACE(testing::Message() << "dialog " << expected.id << ", control " << i);
      EXPECT_EQ(got.id, want.id);
      EXPECT_EQ(Upper(got.windowClass), Upper(WindowClassOf(want.kind)));  // any case names it
      EXPECT_EQ(got.text, want.text);
      EXPECT_EQ(got.style, WS_CHILD | WS_VISIBLE | KindStyleOf(want.kind) | want.style);
      EXPECT_EQ(got.x, want.rect.x);
      EXPECT_EQ(got.y, want.rect.y);
      EXPECT_EQ(got.cx, want.rect.cx);
      EXPECT_EQ(got.cy, want.rect.cy);
    }
  }

  LoadedModule module;
};

TEST_F(ModuleResources, DialogTemplatesMatchTheDescription) {
  ExpectMatches(OrvellaDialogTemplate());
  ExpectMatches(AuthorizeDialogTemplate());
}

TEST_F(ModuleResources, StringTableMatchesTheDescription) {
  auto* instance = static_cast<HMODULE>(module.handle());
  int checked = 0;
  ForEachString([&](unsigned id, const wchar_t* text) {
    wchar_t buffer[1024];
    const int length = ::LoadStringW(instance, id, buffer, 1024);
    EXPECT_EQ(std::wstring(buffer, static_cast<std::size_t>(std::max(length, 0))), text) << id;
    ++checked;
  });
  EXPECT_EQ(checked, 10);
  // No title string: message boxes take their caption from the module's file name.
  wchar_t buffer[64];
  EXPECT_EQ(::LoadStringW(instance, 57344 /* the framework's application title */, buffer, 64), 0);
}

// What Windows shows of the file: its maker, copyright and image version, as well as the
// version numbers.
TEST_F(ModuleResources, VersionResourceNamesTheMakerAndTheImageItsVersion) {
  auto* instance = static_cast<HMODULE>(module.handle());
  wchar_t path[MAX_PATH];
  ASSERT_GT(::GetModuleFileNameW(instance, path, MAX_PATH), 0u);
  DWORD ignored = 0;
  std::vector<unsigned char> info(::GetFileVersionInfoSizeW(path, &ignored));
  ASSERT_FALSE(info.empty());
  ASSERT_TRUE(::GetFileVersionInfoW(path, 0, static_cast<DWORD>(info.size()), info.data()));
  const auto value = [&](const wchar_t* name) {
    void* text = nullptr;
    UINT length = 0;
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    if (!::VerQueryValueW(info.data(), query.c_str(), &text, &length) || length == 0)
      return std::wstring();
    return std::wstring(static_cast<const wchar_t*>(text));
  };
  EXPECT_EQ(value(L"CompanyName"), L"Halvenworks");
  EXPECT_EQ(value(L"LegalCopyright"), L"Copyright (c) 2024 the Orvella developers");
  EXPECT_EQ(value(L"ProductVersion"), L"1.0.0");
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(instance);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
      reinterpret_cast<const unsigned char*>(instance) + dos->e_lfanew);
  EXPECT_EQ(nt->OptionalHeader.MajorImageVersion, 1);
  EXPECT_EQ(nt->OptionalHeader.MinorImageVersion, 0);
}

}  // namespace
}  // namespace orvella::test
