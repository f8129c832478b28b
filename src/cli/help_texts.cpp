#include "cli/help_texts.h"

namespace zrt::cli {

const char* const kLinkOptionsHelp =
    "  --port PATH          the serial port (a serial terminal no other program\n"
    "                       holds), or rfc2217://HOST:PORT or tcp://HOST:PORT\n"
    "  --usb                the USB bridge instead of a serial port\n"
    "  --simulate           the simulated instrument instead of a device\n"
    "  --baud N             the serial rate (default 19200)\n"
    "  --address N          the instrument's address (default 88); a line starting\n"
    "                       with it goes out with the address byte in its place\n";

const char* const kLimitsOptionHelp =
    "  --limits FILE        refuse lines that would set a value beyond the limits in\n"
    "                       FILE, an INI file with sections [A] and [B] and the keys\n"
    "                       max_frequency_hz, max_amplitude_vpp, min_offset_v and\n"
    "                       max_offset_v (see zrt-send(1))\n";

const char* const kHelpVersionHelp =
    "  --help               this text\n"
    "  --version            the version\n";

QString SendHelp() {
  return QString(
             "usage: zrt-send (--port PATH | --usb | --simulate [--usb]) [options] [LINE...]\n"
             "       zrt-send ... --file STEPS.zrt\n"
             "       zrt-send ... -          (the steps on standard input)\n"
             "       zrt-send ... --read-back [--json]\n"
             "\n"
             "Sends command lines to a ZRT10XX/ZRT30XX signal generator as the panel's\n"
             "Send does (address byte, line feed, a byte every 10 ms, the hold after a\n"
             "sweep trigger) and prints each reply, one a line: without its final line\n"
             "end, other control bytes written as \\n, \\r, \\t or \\xNN.\n"
             "\n") +
         kLinkOptionsHelp +
         "  --timeout T          how long a reply may take to begin (default 2s)\n"
         "  --hold-limit T       how long the instrument may hold output back with XOFF\n"
         "                       before the run ends (default 10s)\n"
         "  --file FILE          a sequence file (see zrt-send(1)); \"-\" reads standard\n"
         "                       input\n"
         "  --read-back          ask for each channel's settings and print every item\n"
         "                       and its value (with --json: item, reply and number in\n"
         "                       Hz, V, s, %, degrees or counts)\n" +
         kLimitsOptionHelp +
         "  --raw                print the replies' bytes as they came\n"
         "  --hex                print the replies as hex bytes\n"
         "  --json               print one JSON object per line: time, line, sent,\n"
         "                       reply, answered and the expects checked after it\n" +
         kHelpVersionHelp +
         "\n"
         "With --limits, every line is checked before the first is sent, and nothing\n"
         "is sent when one is refused.\n"
         "Exit status: 0 all sent and answered (every expect met), 1 a reply missing\n"
         "or an expect missed, 2 usage, a sequence file or a line beyond a limit\n"
         "refused, 3 the port or device could not be opened (or a server closed the\n"
         "connection before the first line went out), 4 the device went away, 5 the\n"
         "instrument held output back (XOFF) for longer than the hold limit.\n"
         "\n"
         "A sequence file's run ends with a summary on standard error (with --json, a\n"
         "last object): lines sent, replies, expects met and missed, time taken.\n";
}

QString ServeHelp() {
  return QString(
             "usage: zrt-serve (--port PATH | --usb | --simulate [--usb]) [options]\n"
             "\n"
             "Holds the link to a ZRT10XX/ZRT30XX signal generator and shares it with\n"
             "other programs over TCP, as instruments on a LAN serve port 5025: a client\n"
             "sends command lines ended by a line feed; each goes out as the panel's Send\n"
             "sends it, and the reply goes back to that client, ended by a line feed.\n"
             "Clients take turns, one frame on the wire at a time. Each event is logged\n"
             "to standard error with its time in ms.\n"
             "\n") +
         kLinkOptionsHelp +
         "  --listen [HOST:]PORT where to listen (default 127.0.0.1:5025); another\n"
         "                       host than loopback lets other machines in\n"
         "  --max-clients N      clients served at once (default 8)\n"
         "  --max-line N         the longest line a client may send, in bytes (default\n"
         "                       254, at most 4096: a line holds the port 10 ms a byte)\n"
         "  --reopen-within S    a lost port not back within S seconds (default 30)\n"
         "                       ends it with status 3, for a service manager to restart\n"
         "  --scpi               serve SCPI (*IDN?, SOUR1:FREQ 1000, OUTP2 ON...) instead\n"
         "                       of the instrument's own lines\n"
         "  --vxi11              serve SCPI over VXI-11 too, as device inst0 (VISA's\n"
         "                       TCPIP::HOST::INSTR, lxi discover): with a port mapper of\n"
         "                       its own on port 111 when free, else registered with the\n"
         "                       system's (rpcbind)\n"
         "  --idn M,M,S,F        what *IDN? answers (default zrt-panel,ZRT10XX/ZRT30XX,0,\n"
         "                       and the version)\n"
         "  --reset FILE         the sequence file *RST runs (without one, *RST is an\n"
         "                       error and sends nothing)\n"
         "  --config FILE        options from an INI file: KEY = VALUE for each option\n"
         "                       (scpi = true), a [waveforms] section giving the\n"
         "                       waveform numbers of shapes without an item of their\n"
         "                       own, and an [instrument NAME] section for each of\n"
         "                       several instruments served at once\n" +
         kLimitsOptionHelp + kHelpVersionHelp +
         "\n"
         "A client whose line is refused by the limits is told why.\n"
         "SIGINT or SIGTERM ends it once the frame going out is through (status 0).\n"
         "Exit status: 2 usage, 3 the port or device could not be opened (or opened\n"
         "again once lost), 6 the address could not be listened on (or, with --vxi11,\n"
         "no port mapper could be run or registered with).\n";
}

}  // namespace zrt::cli
