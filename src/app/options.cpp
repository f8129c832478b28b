#include "app/options.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>

namespace zrt::app {
namespace {

[[noreturn]] void BadUsage(const QString& problem) {
  std::fprintf(stderr, "zrt-panel: %s (try --help)\n", qPrintable(problem));
  std::exit(2);
}

}  // namespace

Options ParseOptions(int argc, char** argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Remote-control panel for ZRT10XX/ZRT30XX function and signal generators.\n"
      "Compose a command from the key panels, send it over RS232 or USB, read the reply.");
  const QCommandLineOption help({"h", "help"}, "Show this help and exit.");
  const QCommandLineOption version({"v", "version"}, "Show the version and exit.");
  const QCommandLineOption simulate(
      "simulate", "Try the panel without an instrument: a simulated one on both links.");
  const QCommandLineOption screenshot("screenshot", "Render the window to a PNG file and exit.",
                                      "file");
  const QCommandLineOption language(
      "language", "Start with captions in language 0 (English), 1 (中文) or 2 (繁體).", "index");
  const QCommandLineOption report("report-startup",
                                  "Print the resident memory once the window is shown, then exit.");
  parser.addOptions({help, version, simulate, screenshot, language, report});

  if (!parser.parse(arguments)) BadUsage(parser.errorText());
  if (parser.isSet(help) || parser.isSet(version)) {
    // Made only here: the help names the program as it was started. A core
    // application needs no display, so both work anywhere.
    const QCoreApplication app(argc, argv);
    if (parser.isSet(help)) {
      std::printf("%s", qPrintable(parser.helpText()));
    } else {
      std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
                  qPrintable(QCoreApplication::applicationVersion()));
    }
    std::exit(0);
  }
  if (!parser.positionalArguments().isEmpty()) {
    BadUsage("unexpected argument '" + parser.positionalArguments().first() + "'");
  }

  Options options;
  options.simulate = parser.isSet(simulate);
  options.screenshotPath = parser.value(screenshot);
  options.reportStartup = parser.isSet(report);
  if (parser.isSet(language)) {
    bool ok = false;
    const int index = parser.value(language).toInt(&ok);
    if (!ok || index < 0 || index > 2) BadUsage("--language takes 0, 1 or 2");
    options.language = index;
  }
  return options;
}

bool DisplayNamed() {
  for (const char* variable : {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "DISPLAY"}) {
    if (!qEnvironmentVariableIsEmpty(variable)) return true;
  }
  std::fprintf(stderr,
               "zrt-panel: no display to show the window on (DISPLAY and WAYLAND_DISPLAY are "
               "unset)\n");
  return false;
}

}  // namespace zrt::app
