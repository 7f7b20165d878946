// orvella-host: a reference host that loads Orvella.rpl and drives it from the command line.
#include <getopt.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/orvella-host/configure_command.h"
#include "tools/orvella-host/host_commands.h"
#include "tools/orvella-host/host_sync.h"

namespace {

constexpr char kProgram[] = "orvella-host";

void PrintHelp() {
  std::printf(
      "Usage: orvella-host [OPTION]... COMMAND\n"
      "Load the Orvella plug-in module and drive it through its message interface.\n"
      "\n"
      "Commands:\n"
      "  version     print the module's version report and where it was loaded from\n"
      "  show        print the settings as the plug-in loads them\n"
      "  enable      enable the plug-in and save the settings\n"
      "  disable     disable the plug-in and save the settings\n"
      "  configure   show the plug-in's settings dialog (needs a display); save the\n"
      "              settings when it changed them\n"
      "  run         start the plug-in's worker and show its diagnostic lines until\n"
      "              Ctrl-C or SIGTERM, then stop it\n"
      "  sync        one pass: download what the feeds offer and the folder lacks, remove\n"
      "              what they no longer offer, and print\n"
      "              \"sync: N present, N new, N failed, N removed\"\n"
      "\n"
      "Options:\n"
      "  -m, --module=PATH    the plug-in module (default: Orvella.rpl beside this\n"
      "                       program, else the installed one)\n"
      "  -p, --profile=PATH   the host profile, an INI file (default: $ORVELLA_HOST_PROFILE,\n"
      "                       else ~/.config/orvella-host/profile.ini)\n"
      "      --flavour=N      host flavour for message 28 (1 = Kavex; default 0)\n"
      "  -q, --quiet          print only results and errors\n"
      "  -v, --verbose        also print the plug-in's diagnostic lines, time-stamped\n"
      "  -h, --help           show this help and exit\n"
      "  -V, --version        print orvella-host's version and exit\n"
      "\n"
      "Results go to standard output; progress, the plug-in's lines and errors to\n"
      "standard error. The profile is never written when it cannot be parsed, and is\n"
      "replaced in one step when it is.\n"
      "\n"
      "Exit status: 0 when the command did what it says; 1 when it failed (sync: a feed\n"
      "could not be queried, an item is missing or the folder cannot be written); 2 for a\n"
      "usage error; 130 after Ctrl-C, 143 after SIGTERM.\n"
      "\n"
      "Environment: ORVELLA_SERVER_URL (the art service, default %ls),\n"
      "ORVELLA_HOST_PROFILE, XDG_CONFIG_HOME (the signed-in account is kept in\n"
      "$XDG_CONFIG_HOME/Halvenworks/OrvellaPlugin/), DISPLAY (monitor size, dialogs).\n",
      ORVELLA_DEFAULT_SERVER_URL);
}

[[noreturn]] void UsageError(const std::string& message) {
  if (!message.empty()) std::fprintf(stderr, "%s: %s\n", kProgram, message.c_str());
  std::fprintf(stderr, "Try '%s --help' for more information.\n", kProgram);
  std::exit(2);
}

// A result that could not be written (a full disk, a closed pipe) is a failure too.
int CheckedOutput(int status) {
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
  std::fprintf(stderr, "%s: cannot write the result: %s\n", kProgram, std::strerror(errno));
  return status != 0 ? status : 1;
}

int WholeNumber(const char* option, const char* text) {
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  if (*text == '\0' || *end != '\0' || errno != 0 || value < INT32_MIN || value > INT32_MAX) {
    UsageError(std::string("invalid value '") + text + "' for " + option + " (a whole number)");
  }
  return static_cast<int>(value);
}

bool KnownCommand(const std::string& command) {
  for (const char* known : {"version", "show", "enable", "disable", "configure", "run", "sync"}) {
    if (command == known) return true;
  }
  return false;
}

enum LongOnly { kFlavour = 256 };

// Returns the command; fills `options`. Exits on --help, --version and usage errors.
std::string Parse(int argc, char** argv, orvella::host::HostOptions& options) {
  static const option kOptions[] = {{"module", required_argument, nullptr, 'm'},
                                    {"profile", required_argument, nullptr, 'p'},
                                    {"flavour", required_argument, nullptr, kFlavour},
                                    {"quiet", no_argument, nullptr, 'q'},
                                    {"verbose", no_argument, nullptr, 'v'},
                                    {"help", no_argument, nullptr, 'h'},
                                    {"version", no_argument, nullptr, 'V'},
                                    {nullptr, 0, nullptr, 0}};
  bool quiet = false;
  int verbose = 0;
  for (int c; (c = getopt_long(argc, argv, "m:p:qvhV", kOptions, nullptr)) != -1;) {
    switch (c) {
      case 'm':
        if (*optarg == '\0') UsageError("--module needs a path");
        options.modulePath = optarg;
        break;
      case 'p':
        if (*optarg == '\0') UsageError("--profile needs a path");
        options.profilePath = optarg;
        break;
      case kFlavour:
        options.flavour = WholeNumber("--flavour", optarg);
        break;
      case 'q':
        quiet = true;
        break;
      case 'v':
        ++verbose;
        break;
      case 'h':
        PrintHelp();
        std::exit(CheckedOutput(0));
      case 'V':
        std::printf("%s %s\n", kProgram, ORVELLA_VERSION_TEXT);
        std::exit(CheckedOutput(0));
      default:
        UsageError("");  // getopt_long has said what was wrong
    }
  }
  if (quiet && verbose > 0) UsageError("--quiet and --verbose exclude each other");
  options.verbosity = quiet ? 0 : 1 + verbose;
  if (optind >= argc)
    UsageError(
        "no command given (version, show, enable, disable, configure, "
        "run or sync)");
  const std::string command = argv[optind];
  if (!KnownCommand(command)) UsageError("unknown command '" + command + "'");
  if (optind + 1 < argc) UsageError(std::string("unexpected argument '") + argv[optind + 1] + "'");
  return command;
}

int RunCommand(const std::string& command, orvella::host::HostSession& session) {
  if (!session.Open()) return 1;
  if (command == "version") return orvella::host::CommandVersion(session);
  if (command == "show") return orvella::host::CommandShow(session);
  if (command == "run") return orvella::host::CommandRun(session);
  if (command == "sync") return orvella::host::CommandSync(session);
  if (command == "configure") return orvella::host::CommandConfigure(session);
  return orvella::host::CommandSetEnabled(session, command == "enable");
}

}  // namespace

int main(int argc, char** argv) {
  orvella::host::HostOptions options;
  const std::string command = Parse(argc, argv, options);
  // The plug-in's own lines are what `run` is for; elsewhere they are detail.
  options.pluginLines = options.verbosity >= 2 || (command == "run" && options.verbosity >= 1);
  orvella::host::HostSession session(options);
  return CheckedOutput(RunCommand(command, session));
}
