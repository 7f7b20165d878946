// orvella-rcgen OUTPUT MAJOR MINOR PATCH TWEAK: writes the module's resource script.
// Runs on the build machine, also in a cross build; the file is replaced only when its
// text changes, so the resource compiler runs again only then.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "tools/rcgen/rc_script.h"

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: orvella-rcgen OUTPUT MAJOR MINOR PATCH TWEAK\n");
    return 2;
  }
  std::string script;
  try {
    script = orvella::BuildResourceScript(
        {std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5])});
  } catch (const std::exception& e) {
    std::fprintf(stderr, "orvella-rcgen: %s\n", e.what());
    return 1;
  }
  std::ifstream old(argv[1], std::ios::binary);
  std::ostringstream current;
  current << old.rdbuf();
  if (old && current.str() == script) return 0;
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out << script;
  out.close();
  if (!out) {
    std::fprintf(stderr, "orvella-rcgen: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
