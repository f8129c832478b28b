// Command-line options. The panel needs none; these serve screenshots for the
// documentation and the start-up benchmark.
#pragma once

#include <QString>
#include <optional>

class QCoreApplication;

namespace zrt::app {

struct Options {
  QString screenshotPath;       // render the window to this PNG file and exit
  std::optional<int> language;  // select this language index at start, as the operator would
  bool reportStartup = false;   // print "shown rss_kb=N" once the window is painted, then exit
};

// Parses the application's arguments; prints help or an error and exits on
// --help, --version or a bad option.
Options ParseOptions(const QCoreApplication& app);

}  // namespace zrt::app
