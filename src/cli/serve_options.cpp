#include "cli/serve_options.h"

#include "serve/listen_address.h"

namespace zrt::cli {

const char* const kServeHelp =
    "usage: zrt-serve (--port PATH | --usb | --simulate [--usb]) [options]\n"
    "\n"
    "Holds the link to a ZRT10XX/ZRT30XX signal generator and shares it with\n"
    "other programs over TCP, as instruments on a LAN serve port 5025: a client\n"
    "sends command lines ended by a line feed; each goes out as the panel's Send\n"
    "sends it, and the reply goes back to that client, ended by a line feed.\n"
    "Clients take turns, one frame on the wire at a time. Each event is logged\n"
    "to standard error with its time in ms.\n"
    "\n"
    "  --port PATH          the serial port, or rfc2217://HOST:PORT or tcp://HOST:PORT\n"
    "  --usb                the USB bridge instead of a serial port\n"
    "  --simulate           the simulated instrument instead of a device\n"
    "  --baud N             the serial rate (default 19200)\n"
    "  --address N          the instrument's address (default 88)\n"
    "  --listen [HOST:]PORT where to listen (default 127.0.0.1:5025); another\n"
    "                       host than loopback lets other machines in\n"
    "  --max-clients N      clients served at once (default 8)\n"
    "  --max-line N         the longest line a client may send, in bytes (default\n"
    "                       254, at most 4096: a line holds the port 10 ms a byte)\n"
    "  --reopen-within S    a lost port not back within S seconds (default 30)\n"
    "                       ends it with status 3, for a service manager to restart\n"
    "  --limits FILE        refuse lines that would set a value beyond the limits\n"
    "                       in FILE (see zrt-send(1)); the client is told why\n"
    "  --help               this text\n"
    "  --version            the version\n"
    "\n"
    "SIGINT or SIGTERM ends it once the frame going out is through (status 0).\n"
    "Exit status: 2 usage, 3 the port or device could not be opened (or opened\n"
    "again once lost), 6 the address could not be listened on.\n";

namespace {

Exit Usage(const QString& problem) {
  return {kServeUsage, "zrt-serve: " + problem + "\nTry 'zrt-serve --help'.\n"};
}

}  // namespace

std::variant<ServeOptions, Exit> ParseServeOptions(const QStringList& arguments) {
  ServeOptions options;
  for (int i = 1; i < arguments.size(); ++i) {
    const QString& arg = arguments[i];
    auto value = [&](QString& into) {
      if (i + 1 >= arguments.size()) return false;
      into = arguments[++i];
      return true;
    };
    QString text;
    if (arg == "--help" || arg == "-h") return Exit{0, kServeHelp};
    if (arg == "--version") return Exit{0, QString("zrt-serve %1\n").arg(ZRT_VERSION)};
    std::optional<QString> problem;
    if (TakeLinkOption(arguments, i, options.link, problem)) {
      if (problem) return Usage(*problem);
    } else if (arg == "--listen") {
      if (!value(text) ||
          !serve::ParseListenAddress(text, options.listenHost, options.listenPort)) {
        return Usage("--listen needs [HOST:]PORT, such as 127.0.0.1:5025");
      }
    } else if (arg == "--max-clients") {
      bool ok = false;
      options.maxClients = value(text) ? text.toInt(&ok) : 0;
      if (!ok || options.maxClients < 1) return Usage("--max-clients needs a number from 1");
    } else if (arg == "--reopen-within") {
      bool ok = false;
      const int seconds = value(text) ? text.toInt(&ok) : 0;
      if (!ok || seconds < 1) return Usage("--reopen-within needs a number of seconds from 1");
      options.reopenWithin = std::chrono::seconds(seconds);
    } else if (arg == "--max-line") {
      bool ok = false;
      options.maxLine = value(text) ? text.toInt(&ok) : 0;
      if (!ok || options.maxLine < 1 ||
          options.maxLine > static_cast<int>(serve::LineSplitter::kMostLongest)) {
        return Usage("--max-line needs a number from 1 to 4096");
      }
    } else {
      return Usage("unknown argument " + arg);
    }
  }
  if (const auto problem = LinkProblem(options.link)) return Usage(*problem);
  return options;
}

}  // namespace zrt::cli
