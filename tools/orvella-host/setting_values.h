// The values of orvella-host's set and unset commands, read from the command line and
// checked as the settings dialog checks them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/settings_rules.h"

namespace orvella::host {

/// Which setting a set or unset command changes.
enum class Setting { kFolder, kInterval, kWallpapers, kClocks };

/// One set or unset command as read from its arguments.
struct SettingChange {
  Setting what = Setting::kFolder;
  std::wstring folder;  // kFolder: an absolute path to something that exists
  int32_t minutes = 0;  // kInterval: within the dialog's bounds
  MediaChoice media;    // kWallpapers, kClocks: unselected for unset
  /// Why the command is refused ("" when it is not): the dialog's message for a value
  /// it refuses, or what is wrong with the command line.
  std::string refusal;
  bool usage = false;  // the refusal is about the command line, not a value
};

/// Reads `command` ("set" or "unset") with its `arguments` (the setting's name first):
/// "set folder DIR" (made absolute), "set interval MINUTES" or "H:MM", "set wallpapers
/// MAX [TAGS...]", "set clocks MAX [TAGS...]" (the tags joined by blanks), "unset
/// wallpapers", "unset clocks". Numbers are read as the dialog reads its fields; the
/// bounds and messages are the dialog's. Names and tags with control characters, and
/// texts longer than the plug-in reads back, are refused too. Host's thread (a folder is
/// looked up in the file system).
SettingChange ParseSettingChange(const std::string& command,
                                 const std::vector<std::string>& arguments);

/// Reads "WIDTHxHEIGHT" (decimal digits only, each side within 1..65535). Returns ""
/// with the sides set, else why the text is refused. Any thread.
std::string ParseSize(const std::string& text, int32_t& width, int32_t& height);

}  // namespace orvella::host
