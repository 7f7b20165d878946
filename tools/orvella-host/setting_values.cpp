// The set and unset commands' arguments, checked with the settings dialog's rules.
#include "tools/orvella-host/setting_values.h"

#include <filesystem>
#include <optional>

#include "base/path_text.h"
#include "base/profile_requests.h"
#include "base/text_utf8.h"
#include "system/measured_size.h"
#include "ui/integer_field.h"

namespace orvella::host {
namespace {

SettingChange Refused(Setting what, std::string why, bool usage = false) {
  SettingChange change;
  change.what = what;
  change.refusal = std::move(why);
  change.usage = usage;
  return change;
}

bool HoldsControlCharacter(const std::wstring& text) {
  for (const wchar_t c : text) {
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return true;
  }
  return false;
}

// "" when `text` can be stored as a profile string and read back whole, else why not.
std::string TextProblem(const std::wstring& text, const char* what) {
  if (HoldsControlCharacter(text)) return std::string(what) + " hold a control character";
  if (text.size() > static_cast<std::size_t>(kProfileTextCapacity)) {
    return std::string(what) + " are longer than the " + std::to_string(kProfileTextCapacity) +
           " characters the plug-in reads back";
  }
  return "";
}

// A number as the dialog reads its fields ("12abc" is 12).
std::optional<int32_t> FieldNumber(const std::string& text) {
  return ReadIntegerField(Utf8ToWide(text));
}

SettingChange FolderChange(const std::string& argument) {
  std::wstring folder = Utf8ToWide(argument);
  if (const std::string problem = TextProblem(folder, "the folder's name and path");
      !problem.empty()) {
    return Refused(Setting::kFolder, problem);
  }
  // The worker refuses a relative folder; the one meant is the one it names here.
  std::error_code ec;
  if (!folder.empty() && !FsPath(folder).is_absolute()) {
    const std::filesystem::path whole = std::filesystem::absolute(FsPath(folder), ec);
    if (!ec) folder = FromFsPath(whole.lexically_normal());
  }
  if (const std::wstring refusal = FolderRefusal(folder); !refusal.empty()) {
    return Refused(Setting::kFolder, WideToUtf8(refusal));
  }
  if (!std::filesystem::is_directory(FsPath(folder), ec)) {
    return Refused(Setting::kFolder, WideToUtf8(folder) + " is not a folder");
  }
  SettingChange change;
  change.what = Setting::kFolder;
  change.folder = folder;
  return change;
}

SettingChange IntervalChange(const std::string& argument) {
  const std::size_t colon = argument.find(':');
  // "H:MM" is the dialog's two fields; a plain number is its minutes field alone.
  const std::optional<int32_t> hours = colon == std::string::npos
                                           ? std::optional<int32_t>(0)
                                           : FieldNumber(argument.substr(0, colon));
  const std::optional<int32_t> minutes =
      FieldNumber(colon == std::string::npos ? argument : argument.substr(colon + 1));
  if (!hours || !minutes) return Refused(Setting::kInterval, WideToUtf8(kTextParseInt));
  const int64_t interval = int64_t{*hours} * 60 + *minutes;
  if (const std::wstring refusal = IntervalRefusal(interval); !refusal.empty()) {
    return Refused(Setting::kInterval, WideToUtf8(refusal));
  }
  SettingChange change;
  change.what = Setting::kInterval;
  change.minutes = static_cast<int32_t>(interval);
  return change;
}

SettingChange MediaChange(Setting what, const std::vector<std::string>& arguments) {
  const std::optional<int32_t> maxFiles = FieldNumber(arguments[1]);
  if (!maxFiles) return Refused(what, WideToUtf8(kTextParseInt));
  if (const std::wstring refusal = FilesMaxRefusal(*maxFiles); !refusal.empty()) {
    return Refused(what, WideToUtf8(refusal));
  }
  std::string tags;
  for (std::size_t i = 2; i < arguments.size(); ++i) {
    if (i > 2) tags += ' ';
    tags += arguments[i];
  }
  SettingChange change;
  change.what = what;
  change.media = MediaChoice{true, *maxFiles, Utf8ToWide(tags)};
  if (std::string problem = TextProblem(change.media.tags, "the tags"); !problem.empty()) {
    return Refused(what, std::move(problem));
  }
  return change;
}

}  // namespace

SettingChange ParseSettingChange(const std::string& command,
                                 const std::vector<std::string>& arguments) {
  const std::string& name = arguments.at(0);
  const std::size_t values = arguments.size() - 1;
  const bool media = name == "wallpapers" || name == "clocks";
  const Setting mediaSetting = name == "clocks" ? Setting::kClocks : Setting::kWallpapers;
  if (command == "unset") {
    if (!media) return Refused(Setting::kWallpapers, "unset takes wallpapers or clocks", true);
    SettingChange change;
    change.what = mediaSetting;
    return change;
  }
  if (name == "folder" || name == "interval") {
    const Setting what = name == "folder" ? Setting::kFolder : Setting::kInterval;
    if (values != 1) {
      return Refused(what, "set " + name + (name == "folder" ? " takes DIR" : " takes MINUTES"),
                     true);
    }
    return what == Setting::kFolder ? FolderChange(arguments[1]) : IntervalChange(arguments[1]);
  }
  if (media) {
    if (values < 1) return Refused(mediaSetting, "set " + name + " takes MAX [TAGS]", true);
    return MediaChange(mediaSetting, arguments);
  }
  return Refused(Setting::kFolder,
                 "unknown setting '" + name + "' (folder, interval, wallpapers, clocks or size)",
                 true);
}

std::string ParseSize(const std::string& text, int32_t& width, int32_t& height) {
  const std::size_t x = text.find('x');
  const auto side = [](const std::string& digits, int32_t& value) {
    if (digits.empty() || digits.size() > 9 ||
        digits.find_first_not_of("0123456789") != std::string::npos) {
      return false;
    }
    value = std::stoi(digits);
    return true;
  };
  if (x == std::string::npos || !side(text.substr(0, x), width) ||
      !side(text.substr(x + 1), height)) {
    return "WIDTHxHEIGHT expected, such as 1920x1080";
  }
  if (!MeasuredSize{width, height}.Usable()) {
    return WideToUtf8(FormatRangePrompt(1, kMaxMeasuredSide));
  }
  return "";
}

}  // namespace orvella::host
