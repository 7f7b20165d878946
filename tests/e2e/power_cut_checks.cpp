// The folder checks of the power-cut test.
#include "tests/e2e/power_cut_checks.h"

#include <fstream>
#include <iterator>

#include "base/text_utf8.h"
#include "engine/list_file_text.h"
#include "engine/local_names.h"

namespace orvella::test {

namespace fs = std::filesystem;

namespace {

std::string Joined(const std::set<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : " ") + name;
  return text;
}

// " (N of M bytes)": the size of the file at `path` against what was served for `name`.
std::string Sizes(const fs::path& path, const std::string& name, const Offered& offered) {
  std::error_code ec;
  const auto size = fs::file_size(path, ec);
  const auto picture = offered.served.find(name);
  return " (" + (ec ? std::string("no file") : std::to_string(size)) + " of " +
         (picture == offered.served.end() ? std::string("?")
                                          : std::to_string(picture->second.size())) +
         " bytes)";
}

// Whether `folder` / `name` holds exactly what was served for the picture `picture`.
bool HoldsServed(const fs::path& folder, const std::string& name, const std::string& picture,
                 const Offered& offered) {
  std::string bytes;
  const auto served = offered.served.find(picture);
  return served != offered.served.end() && ReadPlainFile(folder / name, bytes) &&
         bytes == served->second;
}

}  // namespace

std::string ListProblem(const std::string& bytes, CFileMap& files) {
  if (bytes.empty()) return "empty";
  if (!DecodeListFile(bytes, files)) return "wrong header";
  std::size_t lines = 0;
  for (std::size_t at = 0; (at = bytes.find('\n', at)) != std::string::npos; ++at, ++lines) {
    if (at == 0 || bytes[at - 1] != '\r') return "a line not ended by CR LF";
  }
  if (bytes.back() != '\n') return "cut inside its last line";
  const std::string count = "\r\n" + std::to_string(files.GetCount()) + "\r\n";
  if (files.GetCount() * 2 + 2 != lines || bytes.find(count) == std::string::npos)
    return std::to_string(lines) + " lines for " + std::to_string(files.GetCount()) + " entries";
  return "";
}

bool ReadPlainFile(const fs::path& file, std::string& bytes) {
  if (!fs::is_regular_file(fs::symlink_status(file))) return false;
  std::ifstream in(file, std::ios::binary);
  bytes.assign(std::istreambuf_iterator<char>(in), {});
  return true;
}

std::vector<std::string> FolderFailures(const fs::path& folder, const Offered& offered) {
  std::vector<std::string> failures;
  std::string bytes;
  CFileMap files;
  if (!ReadPlainFile(folder / "rvt_orv_files.lst", bytes)) {
    failures.push_back("list: missing");
  } else if (const std::string problem = ListProblem(bytes, files); !problem.empty()) {
    failures.push_back("list: " + problem);
  }
  std::map<std::string, std::string> recorded;  // name -> URL
  for (const CFileData& record : files)
    recorded[WideToUtf8(record.localName)] = WideToUtf8(record.url);

  std::set<std::string> wrongListed, torn, work, untracked, missing, user;
  for (const auto& [name, url] : recorded) {
    const bool known = url.rfind(offered.urlPrefix, 0) == 0;
    const std::string picture = known ? url.substr(offered.urlPrefix.size()) : url;
    if (!known || !HoldsServed(folder, name, picture, offered))
      wrongListed.insert(name + Sizes(folder / name, picture, offered));
  }
  const std::set<std::wstring> own = {kListFileName, kJournalFileName, kLockFileName};
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (offered.userFiles.count(name) != 0 || own.count(Utf8ToWide(name)) != 0) continue;
    if (Utf8ToWide(name) == kListTempFileName || entry.path().extension() == ".__t") {
      work.insert(name);
      continue;
    }
    if (offered.served.count(name) != 0 && !HoldsServed(folder, name, name, offered))
      torn.insert(name + Sizes(entry.path(), name, offered));
    if (recorded.count(name) == 0) untracked.insert(name);
  }
  for (const std::string& name : offered.names) {
    const auto record = recorded.find(name);
    if (record == recorded.end() || record->second != offered.urlPrefix + name ||
        !HoldsServed(folder, name, name, offered)) {
      missing.insert(name);
    }
  }
  for (const auto& [name, planted] : offered.userFiles) {
    if (!ReadPlainFile(folder / name, bytes) || bytes != planted) user.insert(name);
  }
  const std::pair<const char*, const std::set<std::string>*> checks[] = {
      {"listed file without the served bytes", &wrongListed},
      {"empty or torn picture", &torn},
      {"work file left", &work},
      {"untracked", &untracked},
      {"offered picture missing", &missing},
      {"user's file changed", &user}};
  for (const auto& [check, names] : checks) {
    if (!names->empty()) failures.push_back(std::string(check) + ": " + Joined(*names));
  }
  return failures;
}

}  // namespace orvella::test
