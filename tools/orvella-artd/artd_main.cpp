// orvella-artd: the local art service as a program. See --help.
#include <getopt.h>
#include <signal.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <optional>
#include <string>

#include "tools/orvella-artd/art_service.h"

namespace {

using namespace orvella::artd;

// Within 80 columns; orvella-artd(1) says the same at length.
constexpr char kUsage[] = R"(Usage: orvella-artd [options]

A local stand-in of the Orvella art service's v3 API: accounts, an art
catalog and pictures rendered at the size a client asks for.

Options (--opt VALUE or --opt=VALUE):
  --host ADDR          address to listen on (default 127.0.0.1)
  --port N             port to listen on (default 8780; 0 picks a free
                       port); a port another program listens on is refused
  --catalog FILE       serve this catalog instead of the generated demo
                       catalog; the file is read again whenever it changes
  --dump-catalog       print the catalog that would be served, as a catalog
                       file, and exit
  --users FILE         accounts to accept
  --email ADDR         an account to accept (with --password; adds to --users)
  --password TEXT      that account's password
  --user-name NAME     that account's user name (default: ADDR before the '@')
  --token TEXT         that account's user token (default: derived from ADDR)
  --jpeg-quality Q     JPEG quality 1-100 (default 85)
  --image-bytes N      pad every picture to at least N bytes (default 0)
  --max-side N         largest picture width or height served (default 10000)
  -h, --help           show this text
  -V, --version        print the version and exit

Without --users and --email there is one demo account: demo@orvella.test,
password "demo". The first line on standard output is
"listening on http://HOST:PORT"; then one line per request, with password
digests and user tokens shown as "***". Only GET (and HEAD) is served; other
methods get 405. SIGINT or SIGTERM stops the service at once. Exit status: 0
after a stop, 1 when the port cannot be had, a file cannot be read or this
text cannot be written, 2 for a usage error.

Catalog file (JSON):
  {"items": [{"id": "aurora", "name": "Aurora", "filename": "aurora.jpg",
              "tags": ["sky", "night"], "types": ["wallpaper", "clock"],
              "color": "#224488"}]}
  "id" (1-64 of a-z, 0-9, '-') and "name" are required; "filename" defaults
  to "<id>.jpg", "types" to ["wallpaper"]. A query's keyword words must all
  be tags.

Users file (JSON):
  {"accounts": [{"email": "a@b.test", "password": "secret",
                 "user_name": "A", "user_token": "t0k3n"}]}
  "email" and "password" are required. The password is checked as the MD5 of
  its Windows-1252 bytes, as the plug-in sends it. See orvella-artd(1).
)";

struct CommandLine {
  std::string host = "127.0.0.1";
  int port = kDefaultPort;
  std::optional<std::string> catalogFile;
  std::optional<std::string> usersFile;
  Account account;
  bool accountGiven = false;
  bool dumpCatalog = false;
  ImageOptions images;
  int maxSide = 10000;
};

[[noreturn]] void Usage(const std::string& error) {
  if (!error.empty()) std::cerr << "orvella-artd: " << error << "\n";
  std::cerr << "Try 'orvella-artd --help' for more information.\n";
  std::exit(2);
}

// The exit status after text for standard output: 1 when it could not be written (a full
// disk, a closed pipe), which a caller would otherwise take for the text.
int WrittenOut() {
  std::cout.flush();
  if (std::cout.good()) return 0;
  std::cerr << "orvella-artd: cannot write to standard output\n";
  return 1;
}

long long Number(const std::string& option, const std::string& text, long long low,
                 long long high) {
  char* end = nullptr;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || value < low || value > high) {
    Usage(option + " needs a number from " + std::to_string(low) + " to " + std::to_string(high));
  }
  return value;
}

enum Option {
  kHost = 256,
  kPort,
  kCatalog,
  kDumpCatalog,
  kUsers,
  kEmail,
  kPassword,
  kUserName,
  kToken,
  kJpegQuality,
  kImageBytes,
  kMaxSide
};

CommandLine Parse(int argc, char** argv) {
  static const option kOptions[] = {{"host", required_argument, nullptr, kHost},
                                    {"port", required_argument, nullptr, kPort},
                                    {"catalog", required_argument, nullptr, kCatalog},
                                    {"dump-catalog", no_argument, nullptr, kDumpCatalog},
                                    {"users", required_argument, nullptr, kUsers},
                                    {"email", required_argument, nullptr, kEmail},
                                    {"password", required_argument, nullptr, kPassword},
                                    {"user-name", required_argument, nullptr, kUserName},
                                    {"token", required_argument, nullptr, kToken},
                                    {"jpeg-quality", required_argument, nullptr, kJpegQuality},
                                    {"image-bytes", required_argument, nullptr, kImageBytes},
                                    {"max-side", required_argument, nullptr, kMaxSide},
                                    {"help", no_argument, nullptr, 'h'},
                                    {"version", no_argument, nullptr, 'V'},
                                    {nullptr, 0, nullptr, 0}};
  CommandLine line;
  for (int c; (c = getopt_long(argc, argv, "hV", kOptions, nullptr)) != -1;) {
    const std::string value = optarg != nullptr ? optarg : "";
    switch (c) {
      case 'h':
        std::cout << kUsage;
        std::exit(WrittenOut());
      case 'V':
        std::cout << "orvella-artd " << ORVELLA_VERSION_TEXT << "\n";
        std::exit(WrittenOut());
      case kDumpCatalog:
        line.dumpCatalog = true;
        break;
      case kHost:
        if (value.empty()) Usage("--host needs an address");
        line.host = value;
        break;
      case kPort:
        line.port = static_cast<int>(Number("--port", value, 0, 65535));
        break;
      case kCatalog:
        line.catalogFile = value;
        break;
      case kUsers:
        line.usersFile = value;
        break;
      case kEmail:
        line.account.email = value;
        line.accountGiven = true;
        break;
      case kPassword:
        line.account.password = value;
        break;
      case kUserName:
        line.account.userName = value;
        break;
      case kToken:
        line.account.token = value;
        break;
      case kJpegQuality:
        line.images.quality = static_cast<int>(Number("--jpeg-quality", value, 1, 100));
        break;
      case kImageBytes:
        line.images.minBytes =
            static_cast<std::size_t>(Number("--image-bytes", value, 0, 1LL << 30));
        break;
      case kMaxSide:
        line.maxSide = static_cast<int>(Number("--max-side", value, 1, 30000));
        break;
      default:
        Usage("");  // getopt_long has said what was wrong
    }
  }
  if (optind < argc) Usage(std::string("unexpected argument '") + argv[optind] + "'");
  if (line.accountGiven && line.account.email.empty()) Usage("--email needs an address");
  return line;
}

std::optional<std::timespec> ModificationTime(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  return info.st_mtim;
}

bool SameTime(const std::optional<std::timespec>& a, const std::optional<std::timespec>& b) {
  if (!a || !b) return a.has_value() == b.has_value();
  return a->tv_sec == b->tv_sec && a->tv_nsec == b->tv_nsec;
}

ServiceOptions Options(const CommandLine& line) {
  ServiceOptions options;
  if (line.catalogFile) options.catalog = LoadCatalogFile(*line.catalogFile);
  if (line.usersFile || line.accountGiven) options.accounts.clear();
  if (line.usersFile) options.accounts = LoadAccountsFile(*line.usersFile);
  if (line.accountGiven) options.accounts.push_back(CompleteAccount(line.account));
  options.images = line.images;
  options.maxImageSide = line.maxSide;
  options.requestLog = [](const std::string& request) {
    std::fputs((request + "\n").c_str(), stdout);
    std::fflush(stdout);
  };
  return options;
}

// Serves until SIGINT or SIGTERM, picking up changes of the catalog file once a second.
void Serve(ArtService& service, const CommandLine& line, const sigset_t& stopSignals) {
  std::optional<std::timespec> seen;
  if (line.catalogFile) seen = ModificationTime(*line.catalogFile);
  const std::timespec second{1, 0};
  while (sigtimedwait(&stopSignals, nullptr, &second) < 0) {
    if (!line.catalogFile) continue;
    const std::optional<std::timespec> now = ModificationTime(*line.catalogFile);
    if (SameTime(now, seen)) continue;
    seen = now;
    try {
      Catalog catalog = LoadCatalogFile(*line.catalogFile);
      std::cerr << "orvella-artd: catalog reloaded, " << catalog.items.size() << " items\n";
      service.SetCatalog(std::move(catalog));
    } catch (const std::exception& error) {
      std::cerr << "orvella-artd: keeping the previous catalog: " << error.what() << "\n";
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  const CommandLine line = Parse(argc, argv);
  ServiceOptions options;
  try {
    options = Options(line);
  } catch (const std::exception& error) {
    std::cerr << "orvella-artd: " << error.what() << "\n";
    return 1;
  }
  if (line.dumpCatalog) {
    std::cout << CatalogToJson(options.catalog);
    return WrittenOut();
  }

  // The stop signals are taken by Serve(); every thread started from here inherits the mask.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  const std::size_t items = options.catalog.items.size();
  const std::vector<Account> accounts = options.accounts;
  ArtService service(std::move(options));
  try {
    service.Start(line.host, line.port);
  } catch (const std::exception& error) {
    std::cerr << "orvella-artd: " << error.what() << "\n";
    return 1;
  }
  std::printf("listening on %s\n", service.BaseUrl().c_str());
  std::fflush(stdout);
  std::cerr << "orvella-artd: " << items << " catalog items; accounts:";
  for (const Account& account : accounts) std::cerr << " " << account.email;
  std::cerr << "\n";

  Serve(service, line, stopSignals);
  // Ended at once: waiting for the server's threads would wait for idle kept-alive
  // connections to time out, and a request cut short is what a stop asks for.
  std::fflush(stdout);
  std::_Exit(0);
}
