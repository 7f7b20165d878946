// The settings set from a terminal, through the plug-in's own load and save.
#include "tools/orvella-host/settings_commands.h"

#include <cstdio>

#include "base/text_utf8.h"
#include "host/config_store.h"
#include "resources/string_table.h"
#include "system/measured_size.h"
#include "tools/orvella-host/ini_host_profile.h"

namespace orvella::host {
namespace {

const char* MediaName(Setting what) {
  return what == Setting::kClocks ? "clocks" : "wallpapers";
}

// Rebuilds the feeds as the dialog's OK does after the one media type was changed.
void SetMedia(IniHostProfile& profile, int32_t flavour, Setting what, const MediaChoice& media) {
  COrvellaConfig config;
  ApplyStoredConfig(LoadConfig(profile, flavour), config);
  MediaChoices choices = ShownMediaChoices(config.feeds);
  (what == Setting::kClocks ? choices.clocks : choices.wallpapers) = media;
  RebuildFeeds(choices, config.feeds);
  WriteStoredFeeds(profile, SnapshotConfig(config).feeds);
}

// Puts the change into the profile (in memory). Returns what was set, for the result line.
std::string PutChange(IniHostProfile& profile, int32_t flavour, const SettingChange& change) {
  switch (change.what) {
    case Setting::kFolder:
      profile.WriteHostString(kProfileSection, L"ImgFolder", change.folder);
      return "image folder " + WideToUtf8(change.folder);
    case Setting::kInterval:
      profile.WriteHostInt(kProfileSection, L"tmUpdate", change.minutes);
      return "update interval " + std::to_string(change.minutes) + " minutes" +
             (change.minutes == 0 ? " (each feed asked once after a start)" : "");
    case Setting::kWallpapers:
    case Setting::kClocks:
      break;
  }
  SetMedia(profile, flavour, change.what, change.media);
  std::string set = MediaName(change.what);
  if (!change.media.selected) return set + ": none";
  set += ": up to " + std::to_string(change.media.maxFiles);
  return set + (change.media.tags.empty() ? ", any tags"
                                          : ", tags \"" + WideToUtf8(change.media.tags) + "\"");
}

}  // namespace

int RefuseSetting(const SettingChange& change) {
  std::fprintf(stderr, "orvella-host: %s\n", change.refusal.c_str());
  if (change.usage) std::fprintf(stderr, "Try 'orvella-host --help' for more information.\n");
  return 2;
}

int CommandApplySetting(HostSession& session, const SettingChange& change) {
  IniHostProfile profile(session.profile());
  const std::string set = PutChange(profile, session.options().flavour, change);
  if (change.what == Setting::kInterval && change.minutes < kShortUpdateMinutes &&
      session.options().verbosity >= 1) {
    std::fprintf(stderr, "orvella-host: %s\n",
                 WideToUtf8(LoadStringById(kIdsShortInterval)).c_str());
  }
  // The plug-in takes the value as it takes a loaded profile, and writes the whole of its
  // settings back as the save after the dialog does.
  session.Send(7);
  session.Send(6);
  if (!session.SaveProfile()) return 1;
  std::printf("%s (%s)\n", set.c_str(), session.profile().path().c_str());
  return 0;
}

int CommandSetSize(const std::vector<std::string>& arguments) {
  if (arguments.size() != 2) {
    SettingChange usage;
    usage.refusal = "set size takes WIDTHxHEIGHT";
    usage.usage = true;
    return RefuseSetting(usage);
  }
  MeasuredSize size;
  if (const std::string refusal = ParseSize(arguments[1], size.width, size.height);
      !refusal.empty()) {
    std::fprintf(stderr, "orvella-host: %s\n", refusal.c_str());
    return 2;
  }
  std::wstring reason;
  if (!StoreMeasuredSize(size, &reason)) {
    std::fprintf(stderr, "orvella-host: the size could not be stored with the account%s%s\n",
                 reason.empty() ? "" : ": ", WideToUtf8(reason).c_str());
    return 1;
  }
  std::printf("picture size without a monitor %dx%d\n", size.width, size.height);
  return 0;
}

}  // namespace orvella::host
