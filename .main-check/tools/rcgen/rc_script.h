// The Windows resource script of the module, written from the one description of its
// resources: the dialog templates, the string table and the version.
#pragma once

#include <string>

namespace orvella {

/// The four numbers of the file and product version.
struct VersionNumbers {
  int major = 0;
  int minor = 0;
  int patch = 0;
  int tweak = 0;
};

/// Returns the resource script: dialogs 1000 and 1001 with every control (class, style
/// bits, position in dialog units, text), the string table and a version resource with
/// `version` as file and product version. Throws std::invalid_argument for a text that
/// a resource script cannot hold (a character outside printable ASCII other than a line
/// feed). Any thread.
std::string BuildResourceScript(const VersionNumbers& version);

}  // namespace orvella
