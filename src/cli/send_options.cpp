#include "cli/send_options.h"

#include <variant>

#include "sequence/sequence.h"

namespace zrt::cli {

const char* const kSendHelp =
    "usage: zrt-send (--port PATH | --usb | --simulate [--usb]) [options] [LINE...]\n"
    "       zrt-send ... --file STEPS.zrt\n"
    "       zrt-send ... -          (the steps on standard input)\n"
    "       zrt-send ... --read-back [--json]\n"
    "\n"
    "Sends command lines to a ZRT10XX/ZRT30XX signal generator as the panel's\n"
    "Send does (address byte, line feed, a byte every 10 ms, the hold after a\n"
    "sweep trigger) and prints each reply, one a line: without its final line\n"
    "end, other control bytes written as \\n, \\r, \\t or \\xNN.\n"
    "\n"
    "  --port PATH      the serial port (a serial terminal no other program holds),\n"
    "                   or rfc2217://HOST:PORT or tcp://HOST:PORT on the network\n"
    "  --usb            the USB bridge instead of a serial port\n"
    "  --simulate       the simulated instrument instead of a device\n"
    "  --baud N         the serial rate (default 19200)\n"
    "  --address N      the instrument's address (default 88); a line starting\n"
    "                   with it goes out with the address byte in its place\n"
    "  --timeout T      how long a reply may take to begin (default 2s)\n"
    "  --hold-limit T   how long the instrument may hold output back with XOFF\n"
    "                   before the run ends (default 10s)\n"
    "  --file FILE      a sequence file (see zrt-send(1)); \"-\" reads standard input\n"
    "  --read-back      ask for each channel's settings and print every item and\n"
    "                   its value (with --json: item, reply and number in Hz, V,\n"
    "                   s, %, degrees or counts)\n"
    "  --limits FILE    refuse lines that would set a value beyond the limits in\n"
    "                   FILE, an INI file with sections [A] and [B] and the keys\n"
    "                   max_frequency_hz, max_amplitude_vpp, min_offset_v and\n"
    "                   max_offset_v; nothing is sent when a line is refused\n"
    "  --raw            print the replies' bytes as they came\n"
    "  --hex            print the replies as hex bytes\n"
    "  --json           print one JSON object per line: time, line, sent, reply,\n"
    "                   answered and the expects checked after it\n"
    "  --help           this text\n"
    "  --version        the version\n"
    "\n"
    "Exit status: 0 all sent and answered (every expect met), 1 a reply missing\n"
    "or an expect missed, 2 usage, a sequence file or a line beyond a limit\n"
    "refused, 3 the port or device could not be opened (or a server closed the\n"
    "connection before the first line went out), 4 the device went away, 5 the\n"
    "instrument held output back (XOFF) for longer than the hold limit.\n"
    "\n"
    "A sequence file's run ends with a summary on standard error (with --json, a\n"
    "last object): lines sent, replies, expects met and missed, time taken.\n";

namespace {

Exit Usage(const QString& problem) {
  return {2, "zrt-send: " + problem + "\nTry 'zrt-send --help'.\n"};
}

}  // namespace

std::variant<SendOptions, Exit> ParseSendOptions(const QStringList& arguments) {
  SendOptions options;
  int formats = 0;
  for (int i = 1; i < arguments.size(); ++i) {
    const QString& arg = arguments[i];
    auto value = [&](QString& into) {
      if (i + 1 >= arguments.size()) return false;
      into = arguments[++i];
      return true;
    };
    if (arg == "--help" || arg == "-h") return Exit{0, kSendHelp};
    if (arg == "--version") return Exit{0, QString("zrt-send %1\n").arg(ZRT_VERSION)};
    std::optional<QString> problem;
    if (TakeLinkOption(arguments, i, options.link, problem)) {
      if (problem) return Usage(*problem);
    } else if (arg == "--raw" || arg == "--hex" || arg == "--json") {
      ++formats;
      options.format = arg == "--raw"   ? ReplyFormat::Raw
                       : arg == "--hex" ? ReplyFormat::Hex
                                        : ReplyFormat::Json;
    } else if (arg == "--read-back") {
      options.readBack = true;
    } else if (arg == "--file") {
      if (!value(options.file)) return Usage("--file needs a file");
      if (options.file == "-") options.stdinFile = true;
    } else if (arg == "--hold-limit") {
      QString text;
      const auto limit = value(text) ? sequence::DurationOf(text) : std::nullopt;
      if (!limit || limit->count() == 0) {
        return Usage("--hold-limit needs a time such as 500ms or 10s");
      }
      options.link.holdLimit = *limit;
    } else if (arg == "--timeout") {
      QString text;
      if (!value(text)) return Usage("--timeout needs a time such as 500ms or 2s");
      const auto timeout = sequence::DurationOf(text);
      if (!timeout) return Usage("--timeout needs a time such as 500ms or 2s");
      options.timeout = *timeout;
    } else if (arg == "-") {
      options.stdinFile = true;
    } else if (arg.startsWith("--")) {
      return Usage("unknown option " + arg);
    } else {
      options.lines << arg;
    }
  }
  if (formats > 1) return Usage("choose one of --raw, --hex and --json");
  if (const auto problem = LinkProblem(options.link)) return Usage(*problem);
  if (options.readBack &&
      (formats > 1 || options.format == ReplyFormat::Raw || options.format == ReplyFormat::Hex)) {
    return Usage("--read-back prints text or --json");
  }
  const int sources = (options.readBack ? 1 : 0) + (options.lines.isEmpty() ? 0 : 1) +
                      (options.file.isEmpty() || options.stdinFile ? 0 : 1) +
                      (options.stdinFile ? 1 : 0);
  if (sources == 0) return Usage("nothing to send: give lines, --file FILE, - or --read-back");
  if (sources > 1) return Usage("give lines, --file, - or --read-back, one of them");
  return options;
}

}  // namespace zrt::cli
