// The plug-in's own settings: what the host's profile keeps beside the feeds, and what the
// worker reads of it. One value, copied whole: the settings dialog edits a copy, the
// worker takes a snapshot, a load replaces it; a new setting is added here alone.
#pragma once

#include <cstdint>
#include <string>

namespace orvella {

struct PluginSettings {
  int32_t Enabled = 0;      // 0 off, 1 on, 2 on (the host's own meaning)
  int32_t tmUpdate = 0;     // update interval in minutes; 0 or less: no periodic query
  std::wstring ImgFolder;   // the image folder; empty or relative: nowhere to work
  int32_t minAgeCheck = 0;  // the minimum-age rule for deleting unused files
  int32_t minAgeDays = 0;
  int32_t minAgeHours = 0;
};

}  // namespace orvella
