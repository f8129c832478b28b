// zrt-sim: a stand-in instrument on a pseudo-terminal, for trying the panel
// and for tests. It prints the terminal's path, then every frame and answer.
//
//   zrt-sim [--link PATH] [--address N] [--check-pacing[=MS]] [--quiet]
//           [--keep LINE]... [--silent ITEM]... [--refuse ITEM]... [--mute ITEM]...
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>

#include "sim/pty_instrument.h"

namespace {

constexpr const char* kUsage =
    "usage: zrt-sim [--link PATH] [--address N] [--check-pacing[=MS]] [--quiet]\n"
    "               [--keep LINE]... [--silent ITEM]... [--refuse ITEM]... [--mute ITEM]...\n";

constexpr const char* kHelp =
    "A stand-in for a ZRT10XX/ZRT30XX signal generator on a pseudo-terminal.\n"
    "Prints the terminal's path; open that port in zrt-panel. Frames are an\n"
    "optional address byte, a line and a line feed. A line ending in \"?\" is\n"
    "answered with the value last set for it (\"CHA:AFREQ?\"), other lines with\n"
    "\"OK\"; a line whose last word is a number sets it (\"CHA:AFREQ:1000HZ\").\n"
    "It is not a model of the instrument's firmware.\n\n"
    "  --link PATH      also make PATH a symbolic link to the terminal\n"
    "  --address N      the instrument's address (default 88)\n"
    "  --check-pacing   report frames whose bytes came closer than 10 ms apart\n"
    "                   (9 ms, for timer jitter; =MS sets the limit), where the\n"
    "                   reads tell it: a late reading is said to be one\n"
    "  --quiet          print only the path and pacing reports\n"
    "  --keep LINE      the item LINE sets keeps that value, whatever is set\n"
    "                   (\"CHA:AFREQ:5000HZ\"), as one out of range would\n"
    "  --silent ITEM    the item answers no question (\"CHA:AFREQ\")\n"
    "  --refuse ITEM    the item answers every setting ERROR and keeps its value\n"
    "  --mute ITEM      the item takes every setting and answers nothing\n"
    "  --help           this text\n";

int Usage(const std::string& problem) {
  std::fprintf(stderr, "zrt-sim: %s\n%s", problem.c_str(), kUsage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  zrt::sim::PtyInstrument::Options options;
  std::string link;
  bool quiet = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help") {
      std::printf("%s%s", kUsage, kHelp);
      return 0;
    } else if (arg == "--link" && i + 1 < argc) {
      link = argv[++i];
    } else if (arg == "--address" && i + 1 < argc) {
      char* end = nullptr;
      const long address = std::strtol(argv[++i], &end, 10);
      if (*end != '\0' || end == argv[i]) return Usage("--address takes a number");
      options.address = static_cast<int>(address);
    } else if (arg == "--check-pacing") {
      options.minimumGap = std::chrono::microseconds(9000);
    } else if (arg.starts_with("--check-pacing=")) {
      char* end = nullptr;
      const double ms = std::strtod(arg.c_str() + 15, &end);
      if (*end != '\0' || ms <= 0) return Usage("--check-pacing= takes milliseconds");
      options.minimumGap = std::chrono::microseconds(static_cast<long>(ms * 1000));
    } else if (arg == "--keep" && i + 1 < argc) {
      options.keep.emplace_back(argv[++i]);
    } else if (arg == "--silent" && i + 1 < argc) {
      options.silent.emplace_back(argv[++i]);
    } else if (arg == "--refuse" && i + 1 < argc) {
      options.refuse.emplace_back(argv[++i]);
    } else if (arg == "--mute" && i + 1 < argc) {
      options.mute.emplace_back(argv[++i]);
    } else if (arg == "--quiet") {
      quiet = true;
    } else {
      return Usage("unknown argument " + arg);
    }
  }
  static std::mutex printing;
  options.log = [quiet](const std::string& line) {
    if (quiet && !line.starts_with("pacing")) return;
    std::lock_guard lock(printing);
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
  };

  // Ends on SIGINT or SIGTERM, removing the link.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  try {
    zrt::sim::PtyInstrument instrument(options);
    if (!link.empty()) {
      std::error_code ec;
      std::filesystem::remove(link, ec);
      std::filesystem::create_symlink(instrument.TerminalPath(), link, ec);
      if (ec) {
        std::fprintf(stderr, "zrt-sim: cannot make %s: %s\n", link.c_str(), ec.message().c_str());
        return 1;
      }
    }
    {
      std::lock_guard lock(printing);
      std::printf("%s\n", instrument.TerminalPath().c_str());
      std::fflush(stdout);
    }
    int signal = 0;
    sigwait(&stopSignals, &signal);
    if (!link.empty()) std::filesystem::remove(link);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zrt-sim: %s\n", e.what());
    return 1;
  }
  return 0;
}
