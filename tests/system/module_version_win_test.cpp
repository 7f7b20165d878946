// The version resource reader: real version blocks, as GetFileVersionInfoW lays them out.
#include "system/module_version_win.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <vector>

namespace orvella::test {
namespace {

// A VS_VERSIONINFO block whose root value is `fixed`, cut to `valueBytes` bytes.
std::vector<unsigned char> VersionBlock(const VS_FIXEDFILEINFO& fixed, WORD valueBytes) {
  static const wchar_t kKey[] = L"VS_VERSION_INFO";
  std::vector<unsigned char> block(6 + sizeof kKey);
  while (block.size() % 4 != 0) block.push_back(0);
  const auto* value = reinterpret_cast<const unsigned char*>(&fixed);
  block.insert(block.end(), value, value + valueBytes);
  while (block.size() % 4 != 0) block.push_back(0);
  const WORD header[3] = {static_cast<WORD>(block.size()), valueBytes, 0};
  std::memcpy(block.data(), header, sizeof header);
  std::memcpy(block.data() + 6, kKey, sizeof kKey);
  return block;
}

VS_FIXEDFILEINFO Fixed(DWORD signature) {
  VS_FIXEDFILEINFO fixed{};
  fixed.dwSignature = signature;
  fixed.dwStrucVersion = 0x00010000;
  fixed.dwFileVersionMS = (8u << 16) | 8u;
  fixed.dwProductVersionMS = (2u << 16) | 5u;
  fixed.dwProductVersionLS = (7u << 16) | 9u;
  return fixed;
}

TEST(VersionResource, RootBlockGivesTheProductVersion) {
  const auto block = VersionBlock(Fixed(0xFEEF04BD), sizeof(VS_FIXEDFILEINFO));
  FixedFileInfo info;
  ASSERT_TRUE(ReadFixedFileInfo(block.data(), info));
  EXPECT_EQ(info.dwFileVersionMS, (8u << 16) | 8u);
  EXPECT_EQ(VersionReportText(info, true), L"Orvella v2.5.7");
}

TEST(VersionResource, WrongSignatureOrShortRootBlockIsRefused) {
  FixedFileInfo info;
  const auto unsigned_ = VersionBlock(Fixed(0x12345678), sizeof(VS_FIXEDFILEINFO));
  EXPECT_FALSE(ReadFixedFileInfo(unsigned_.data(), info));
  const auto cut = VersionBlock(Fixed(0xFEEF04BD), 20);
  EXPECT_FALSE(ReadFixedFileInfo(cut.data(), info));
  EXPECT_EQ(info.dwSignature, 0u);  // nothing was copied from the short block
}

TEST(VersionResource, ProgramWithoutVersionResourceReportsUnknown) {
  // This test program links the plug-in's code but carries no version resource unless
  // the build gave it the module's; either way the reader must agree with the loader.
  wchar_t path[MAX_PATH];
  ASSERT_GT(::GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
  DWORD unused = 0;
  const bool hasResource = ::GetFileVersionInfoSizeW(path, &unused) != 0;
  CModuleVersion version;
  EXPECT_EQ(version.ReadModuleVersion(), hasResource);
  if (!hasResource) {
    EXPECT_EQ(VersionReportText(version, false), L"Orvella Unknown version");
  }
}

}  // namespace
}  // namespace orvella::test
