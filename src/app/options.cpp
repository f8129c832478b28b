#include "app/options.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdlib>

namespace zrt::app {

Options ParseOptions(const QCoreApplication& app) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Remote-control panel for ZRT10XX/ZRT30XX function and signal generators.");
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption screenshot("screenshot", "Render the window to a PNG file and exit.",
                                      "file");
  const QCommandLineOption language(
      "language", "Start with captions in language 0 (English), 1 (中文) or 2 (繁體).", "index");
  const QCommandLineOption report("report-startup",
                                  "Print the resident memory once the window is shown, then exit.");
  parser.addOptions({screenshot, language, report});
  parser.process(app);

  Options options;
  options.screenshotPath = parser.value(screenshot);
  options.reportStartup = parser.isSet(report);
  if (parser.isSet(language)) {
    bool ok = false;
    const int index = parser.value(language).toInt(&ok);
    if (!ok || index < 0 || index > 2) {
      qCritical("zrt-panel: --language takes 0, 1 or 2");
      std::exit(2);
    }
    options.language = index;
  }
  return options;
}

}  // namespace zrt::app
