// The version text: numbers from the product version words, or the fixed fallback.
#include "system/module_version.h"

#include <gtest/gtest.h>

namespace orvella::test {
namespace {

TEST(VersionReport, ShowsMajorMinorAndThirdNumberOnly) {
  FixedFileInfo info;
  info.dwSignature = kVersionSignature;
  info.dwProductVersionMS = (2u << 16) | 5u;
  info.dwProductVersionLS = (7u << 16) | 9u;
  info.dwFileVersionMS = (8u << 16) | 8u;  // the file version is not what is shown
  EXPECT_EQ(VersionReportText(info, true), L"Orvella v2.5.7");
  info.dwProductVersionMS = (65535u << 16) | 65535u;
  info.dwProductVersionLS = 65535u << 16;
  EXPECT_EQ(VersionReportText(info, true), L"Orvella v65535.65535.65535");
}

TEST(VersionReport, InvalidVersionGivesTheFallbackText) {
  FixedFileInfo info;
  info.dwProductVersionMS = 1u << 16;
  EXPECT_EQ(VersionReportText(info, false), L"Orvella Unknown version");
}

TEST(VersionReport, TheBuildCarriesVersion1000) {
  CModuleVersion version;
  ASSERT_TRUE(version.ReadModuleVersion());
  EXPECT_EQ(version.dwSignature, kVersionSignature);
  EXPECT_EQ(version.dwProductVersionMS, 1u << 16);
  EXPECT_EQ(version.dwProductVersionLS, 0u);
}

}  // namespace
}  // namespace orvella::test
