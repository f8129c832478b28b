// Command-line options. The panel needs none; these serve trying it without
// an instrument, screenshots for the documentation and the start-up benchmark.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <utility>

namespace zrt::app {

struct Options {
  bool simulate = false;        // a simulated instrument on both links
  QString screenshotPath;       // render the window to this PNG file and exit
  std::optional<int> language;  // select this language index at start, as the operator would
  bool reportStartup = false;   // print "shown rss_kb=N" once the window is painted, then exit
  bool displayGiven = false;    // Qt's -platform or -display named where to show the window
  bool resetSettings = false;   // forget the remembered settings first
  // Share the instrument on this address from the start (--listen).
  std::optional<std::pair<QString, std::uint16_t>> listen;
  bool scpi = false;  // clients speak SCPI (--scpi, with --listen)
  // Settings are remembered only in ordinary runs: not with a simulated
  // instrument (its port is gone after the run), not for screenshots or
  // the start-up benchmark (which show the panel as it comes).
  bool Remembers() const { return !simulate && screenshotPath.isEmpty() && !reportStartup; }
};

// Parses the program's arguments before anything needs a display, leaving
// the options every Qt program takes (-style, -platform, -reverse, ...) to
// the application object. Prints the help or the version and exits 0 for
// --help and --version; prints one line and exits 2 for anything else it
// does not take.
Options ParseOptions(int argc, char** argv);

// Whether a display to show the window on is named, in the environment or
// by Qt's options; if not, says so in one line on standard error.
bool DisplayNamed(const Options& options);

}  // namespace zrt::app
