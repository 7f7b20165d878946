// The orvella-host profile the sync tests share: the plug-in disabled (the host runs its
// worker itself), a wallpaper and a clock feed, and the image folder.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>

#include "tools/orvella-host/ini_profile.h"

namespace orvella::test {

/// Writes the profile at `path` with the two feeds and `folder` as the image folder.
/// Test thread.
inline void WriteTwoFeedProfile(const std::string& path, const std::filesystem::path& folder) {
  host::IniProfile profile(path);
  std::string error;
  EXPECT_TRUE(profile.Load(error)) << error;
  for (const auto& [key, value] : {std::pair<const char*, int>{"Enabled", 0},
                                   {"nFeeds", 2},
                                   {"Feed0_Type", 1},
                                   {"Feed0_Flg", 1},
                                   {"Feed1_Type", 2},
                                   {"Feed1_Flg", 1}}) {
    profile.SetInt("OrvellaPlugIn", key, value);
  }
  profile.SetString("OrvellaPlugIn", "ImgFolder", folder.string());
  EXPECT_TRUE(profile.Save());
}

}  // namespace orvella::test
