// orvella-host: a reference host that loads Orvella.rpl and drives it from the command line.
#include <getopt.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/orvella-host/account_commands.h"
#include "tools/orvella-host/configure_command.h"
#include "tools/orvella-host/host_commands.h"
#include "tools/orvella-host/host_sync.h"
#include "tools/orvella-host/settings_commands.h"

namespace {

constexpr char kProgram[] = "orvella-host";

// Within 80 columns; orvella-host(1) says the same at length.
void PrintHelp() {
  std::printf(
      "Usage: orvella-host [OPTION]... COMMAND [ARGUMENT]...\n"
      "Load the Orvella plug-in module and drive it through its message interface.\n"
      "\n"
      "Set-up, without a display:\n"
      "  set folder DIR            the image folder (it must exist)\n"
      "  set interval MINUTES      how often the feeds are asked, also as H:MM\n"
      "                            (0 asks once after each start)\n"
      "  set wallpapers MAX [TAGS] download up to MAX wallpapers (1-999999) whose\n"
      "                            tags hold every word of TAGS\n"
      "  set clocks MAX [TAGS]     the same for wallpaper clocks\n"
      "  unset wallpapers|clocks   download no more of that kind\n"
      "  set size WIDTHxHEIGHT     the picture size asked for when no monitor can be\n"
      "                            measured (each side 1-65535)\n"
      "  sign-in [EMAIL]           sign in to the art service (asks for the password)\n"
      "  sign-out                  forget the signed-in account\n"
      "  enable, disable           turn the plug-in on or off\n"
      "\n"
      "Other commands:\n"
      "  show        print the settings as the plug-in loads them, and the account\n"
      "  sync        one pass: download what the feeds offer and the folder lacks,\n"
      "              remove what they no longer offer, and print\n"
      "              \"sync: N present, N new, N failed, N removed\"\n"
      "  run         start the plug-in's worker and show its diagnostic lines until\n"
      "              Ctrl-C or SIGTERM, then stop it\n"
      "  configure   show the plug-in's settings dialog (needs a display)\n"
      "  version     print the module's version report and where it was loaded from\n"
      "\n"
      "Options:\n"
      "  -m, --module=PATH    the plug-in module (default: Orvella.rpl beside this\n"
      "                       program, else the installed one)\n"
      "  -p, --profile=PATH   the host profile, an INI file (default:\n"
      "                       $ORVELLA_HOST_PROFILE, else\n"
      "                       ~/.config/orvella-host/profile.ini)\n"
      "      --flavour=N      host flavour for message 28 (1 = Kavex; default 0)\n"
      "      --password-stdin sign-in reads the password from standard input\n"
      "  -q, --quiet          print only results and errors\n"
      "  -v, --verbose        also print the plug-in's diagnostic lines, time-stamped\n"
      "  -h, --help           show this help and exit\n"
      "  -V, --version        print orvella-host's version and exit\n"
      "\n"
      "Results go to standard output; progress, the plug-in's lines and errors to\n"
      "standard error. The profile's keys and format: see orvella-host(1).\n"
      "\n"
      "Exit status: 0 when the command did what it says; 1 when it failed (sync: a\n"
      "feed could not be queried, an item is missing or the folder cannot be\n"
      "written; sign-in: refused or no answer); 2 for a usage error or a value the\n"
      "settings refuse; 130 after Ctrl-C, 143 after SIGTERM.\n"
      "\n"
      "Environment: ORVELLA_SERVER_URL (the art service, default\n"
      "%ls), ORVELLA_HOST_PROFILE, XDG_CONFIG_HOME (the account\n"
      "is kept in $XDG_CONFIG_HOME/Halvenworks/OrvellaPlugin/), DISPLAY.\n",
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

// How many arguments a command takes.
struct CommandShape {
  const char* name;
  std::size_t fewest;
  std::size_t most;
};

constexpr CommandShape kCommands[] = {{"version", 0, 0}, {"show", 0, 0},       {"enable", 0, 0},
                                      {"disable", 0, 0}, {"configure", 0, 0},  {"run", 0, 0},
                                      {"sync", 0, 0},    {"set", 1, SIZE_MAX}, {"unset", 1, 1},
                                      {"sign-in", 0, 1}, {"sign-out", 0, 0}};

// Exits with a usage error unless `command` is known and takes `arguments`.
void CheckShape(const std::string& command, const std::vector<std::string>& arguments) {
  for (const CommandShape& shape : kCommands) {
    if (command != shape.name) continue;
    if (arguments.size() > shape.most) {
      UsageError("unexpected argument '" + arguments[shape.most] + "'");
    }
    if (arguments.size() < shape.fewest) UsageError(command + " needs what to set");
    return;
  }
  UsageError("unknown command '" + command + "'");
}

enum LongOnly { kFlavour = 256, kPasswordStdin };

struct CommandLine {
  std::string command;
  std::vector<std::string> arguments;
  orvella::host::SignInOptions signIn;
};

// Returns the command and its arguments; fills `options`. Exits on --help, --version and
// usage errors.
CommandLine Parse(int argc, char** argv, orvella::host::HostOptions& options) {
  static const option kOptions[] = {{"module", required_argument, nullptr, 'm'},
                                    {"profile", required_argument, nullptr, 'p'},
                                    {"flavour", required_argument, nullptr, kFlavour},
                                    {"password-stdin", no_argument, nullptr, kPasswordStdin},
                                    {"quiet", no_argument, nullptr, 'q'},
                                    {"verbose", no_argument, nullptr, 'v'},
                                    {"help", no_argument, nullptr, 'h'},
                                    {"version", no_argument, nullptr, 'V'},
                                    {nullptr, 0, nullptr, 0}};
  CommandLine line;
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
      case kPasswordStdin:
        line.signIn.passwordFromStdin = true;
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
  if (optind >= argc) UsageError("no command given (see the list of commands in --help)");
  line.command = argv[optind];
  line.arguments.assign(argv + optind + 1, argv + argc);
  CheckShape(line.command, line.arguments);
  if (line.signIn.passwordFromStdin && line.command != "sign-in") {
    UsageError("--password-stdin goes with sign-in only");
  }
  if (line.command == "sign-in" && !line.arguments.empty()) line.signIn.email = line.arguments[0];
  return line;
}

int RunCommand(const CommandLine& line, orvella::host::HostSession& session) {
  namespace host = orvella::host;
  // These need neither the profile nor the module: the account and the measured size
  // are kept where the plug-in keeps them.
  if (line.command == "sign-in") return host::CommandSignIn(session, line.signIn);
  if (line.command == "sign-out") return host::CommandSignOut(session);
  if (line.command == "set" && line.arguments[0] == "size") {
    return host::CommandSetSize(line.arguments);
  }
  if (line.command == "set" || line.command == "unset") {
    // A value the settings refuse is refused before the profile is touched.
    const host::SettingChange change = host::ParseSettingChange(line.command, line.arguments);
    if (!change.refusal.empty()) return host::RefuseSetting(change);
    if (!session.Open()) return 1;
    return host::CommandApplySetting(session, change);
  }
  if (!session.Open()) return 1;
  if (line.command == "version") return host::CommandVersion(session);
  if (line.command == "show") return host::CommandShow(session);
  if (line.command == "run") return host::CommandRun(session);
  if (line.command == "sync") return host::CommandSync(session);
  if (line.command == "configure") return host::CommandConfigure(session);
  return host::CommandSetEnabled(session, line.command == "enable");
}

}  // namespace

int main(int argc, char** argv) {
  orvella::host::HostOptions options;
  const CommandLine line = Parse(argc, argv, options);
  // The plug-in's own lines are what `run` is for; elsewhere they are detail.
  options.pluginLines = options.verbosity >= 2 || (line.command == "run" && options.verbosity >= 1);
  orvella::host::HostSession session(options);
  return CheckedOutput(RunCommand(line, session));
}
