// orvella-host: a reference host that loads Orvella.rpl and drives it from the command line.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/orvella-host/configure_command.h"
#include "tools/orvella-host/host_commands.h"
#include "tools/orvella-host/host_sync.h"

namespace {

void PrintHelp() {
  std::puts(
      "usage: orvella-host [options] COMMAND\n"
      "\n"
      "Loads the Orvella plug-in module and drives it through its message interface.\n"
      "\n"
      "commands:\n"
      "  version        print the module's version report\n"
      "  show           print the settings as the plug-in loads them\n"
      "  enable         enable the plug-in and save the settings\n"
      "  disable        disable the plug-in and save the settings\n"
      "  run            start the plug-in's worker and show its diagnostic lines until\n"
      "                 Ctrl-C, then stop it\n"
      "  sync           one pass: start the worker (enabled for this run), wait until its\n"
      "                 first batch of downloads has ended, stop it and report; exit status\n"
      "                 1 when no feed could be queried\n"
      "  configure      show the plug-in's settings dialog; save when it changed them\n"
      "\n"
      "options:\n"
      "  --module PATH   plug-in module (default: Orvella.rpl beside this program)\n"
      "  --profile PATH  host profile INI file (default: $ORVELLA_HOST_PROFILE or\n"
      "                  ~/.config/orvella-host/profile.ini)\n"
      "  --flavour N     host flavour sent with message 28 (1 = Kavex, default 0)\n"
      "  --quiet         do not print the plug-in's diagnostic lines\n"
      "  --help          this text\n"
      "\n"
      "Diagnostic lines go to stderr with a time stamp; the account is kept by the\n"
      "plug-in under ~/.config/Halvenworks/OrvellaPlugin/.");
}

}  // namespace

int main(int argc, char** argv) {
  orvella::host::HostOptions options;
  std::string command;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](const char* name) -> std::string {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "orvella-host: %s needs a value\n", name);
        std::exit(2);
      }
      return argv[++i];
    };
    if (arg == "--help" || arg == "-h") {
      PrintHelp();
      return 0;
    } else if (arg == "--module") {
      options.modulePath = value("--module");
    } else if (arg == "--profile") {
      options.profilePath = value("--profile");
    } else if (arg == "--flavour") {
      options.flavour = std::atoi(value("--flavour").c_str());
    } else if (arg == "--quiet") {
      options.quiet = true;
    } else if (command.empty() && arg[0] != '-') {
      command = arg;
    } else {
      std::fprintf(stderr, "orvella-host: unknown argument '%s' (see --help)\n", arg.c_str());
      return 2;
    }
  }
  if (command.empty()) {
    PrintHelp();
    return 2;
  }
  orvella::host::HostSession session(options);
  if (command != "version" && command != "show" && command != "enable" && command != "disable" &&
      command != "configure" && command != "run" && command != "sync") {
    std::fprintf(stderr, "orvella-host: unknown command '%s' (see --help)\n", command.c_str());
    return 2;
  }
  if (!session.Open()) return 1;
  if (command == "version") return orvella::host::CommandVersion(session);
  if (command == "show") return orvella::host::CommandShow(session);
  if (command == "run") return orvella::host::CommandRun(session);
  if (command == "sync") return orvella::host::CommandSync(session);
  if (command == "configure") return orvella::host::CommandConfigure(session);
  return orvella::host::CommandSetEnabled(session, command == "enable");
}
