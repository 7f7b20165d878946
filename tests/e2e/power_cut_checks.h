// What an image folder must hold once clean syncs followed a power cut, and what a list
// file needs to be whole: the checks of the power-cut test, each naming the files that
// fail it.
#pragma once

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "model/file_map.h"

namespace orvella::test {

/// What the service offers and served, and what the user keeps in the folder.
struct Offered {
  std::string urlPrefix;                         // a picture's URL: this, then its name
  std::map<std::string, std::string> served;     // every picture's name -> its bytes
  std::set<std::string> names;                   // the pictures the feeds offer now
  std::map<std::string, std::string> userFiles;  // the user's own files, name -> bytes
};

/// Returns what a list file's `bytes` lack to be whole ("" when whole): the header, a
/// count that matches its pairs, every line ended by CR LF. `files` gets its records.
/// Test thread.
std::string ListProblem(const std::string& bytes, CFileMap& files);

/// Reads the regular file at `file` (never through a link) into `bytes`; false when no
/// regular file stands there. Test thread.
bool ReadPlainFile(const std::filesystem::path& file, std::string& bytes);

/// Returns what is wrong with `folder` after syncs of `offered`, one line per failed
/// check naming the files: the list missing or not whole, a listed file without the bytes
/// served for its URL, an empty or torn picture under a picture's name, a work file (the
/// list's temporary, "*.__t"), a picture file the list does not record, an offered
/// picture not recorded with its bytes, a user's file changed. Empty when all hold.
/// Test thread.
std::vector<std::string> FolderFailures(const std::filesystem::path& folder,
                                        const Offered& offered);

}  // namespace orvella::test
