#include "app/options.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSysInfo>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "serve/listen_address.h"

namespace zrt::app {
namespace {

// The options Qt's application objects take for themselves (every Qt
// program accepts them), and how each takes its value. Qt also takes them
// with two dashes.
enum class QtValue { None, Next, NextOrAttached, Attached };  // attached: after "="
struct QtOption {
  const char* name;
  QtValue value;
};
constexpr QtOption kQtOptions[] = {
    {"style", QtValue::NextOrAttached},
    {"stylesheet", QtValue::NextOrAttached},
    {"widgetcount", QtValue::None},
    {"reverse", QtValue::None},
    {"qmljsdebugger", QtValue::Attached},
    {"platform", QtValue::Next},
    {"platformpluginpath", QtValue::Next},
    {"platformtheme", QtValue::Next},
    {"plugin", QtValue::Next},
    {"qwindowgeometry", QtValue::Next},
    {"qwindowicon", QtValue::Next},
    {"qwindowtitle", QtValue::Next},
    {"session", QtValue::Next},
    {"display", QtValue::Next},
    {"geometry", QtValue::Next},
    {"name", QtValue::Next},
    {"title", QtValue::Next},
    {"visual", QtValue::Next},
    {"ncols", QtValue::Next},
    {"dialogs", QtValue::Attached},
    {"fontengine", QtValue::Attached},
    {"cmap", QtValue::None},
    {"nograb", QtValue::None},
    {"dograb", QtValue::None},
    {"sync", QtValue::None},
};

// How many arguments from `at` on make one of Qt's options (0: none), and
// its name.
std::pair<int, QStringView> QtOptionAt(const QStringList& arguments, qsizetype at) {
  QStringView arg = arguments[at];
  if (arg.startsWith(u"--")) arg = arg.sliced(1);
  if (!arg.startsWith(u'-')) return {0, {}};
  arg = arg.sliced(1);
  const qsizetype equals = arg.indexOf(u'=');
  const QStringView name = equals < 0 ? arg : arg.first(equals);
  for (const QtOption& option : kQtOptions) {
    if (name != QLatin1StringView(option.name)) continue;
    const bool attached =
        option.value == QtValue::Attached || option.value == QtValue::NextOrAttached;
    const bool next = option.value == QtValue::Next || option.value == QtValue::NextOrAttached;
    if (equals >= 0) return {attached ? 1 : 0, name};
    if (option.value == QtValue::Attached) return {0, {}};
    return {next && at + 1 < arguments.size() ? 2 : 1, name};
  }
  return {0, {}};
}

[[noreturn]] void BadUsage(const QString& problem) {
  std::fprintf(stderr, "zrt-panel: %s (try --help)\n", qPrintable(problem));
  std::exit(2);
}

}  // namespace

Options ParseOptions(int argc, char** argv) {
  // Qt's own options are left for the application object to take.
  QStringList arguments;
  for (int i = 0; i < argc; ++i) {
    arguments << QString::fromLocal8Bit(argv[i]);
  }
  bool displayGiven = false;
  for (qsizetype i = 1; i < arguments.size();) {
    if (const auto [length, name] = QtOptionAt(arguments, i); length > 0) {
      displayGiven = displayGiven || name == u"platform" || name == u"display";
      arguments.remove(i, length);
    } else {
      ++i;
    }
  }
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
  const QCommandLineOption reset("reset-settings",
                                 "Forget the remembered port, rate, address, language, "
                                 "interface, history and window position.");
  const QCommandLineOption listen(
      "listen",
      "Share the instrument with other programs on [HOST:]PORT (the status bar's switch; "
      "127.0.0.1:5025 by default).",
      "address");
  const QCommandLineOption scpi("scpi",
                                "With --listen: clients speak SCPI rather than the instrument's "
                                "lines (the choice beside the status bar's switch).");
  parser.addOptions({help, version, simulate, screenshot, language, report, reset, listen, scpi});
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);

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
  options.displayGiven = displayGiven;
  options.simulate = parser.isSet(simulate);
  options.screenshotPath = parser.value(screenshot);
  options.reportStartup = parser.isSet(report);
  options.resetSettings = parser.isSet(reset);
  if (parser.isSet(language)) {
    bool ok = false;
    const int index = parser.value(language).toInt(&ok);
    if (!ok || index < 0 || index > 2) BadUsage("--language takes 0, 1 or 2");
    options.language = index;
  }
  if (parser.isSet(listen)) {
    QString host = "127.0.0.1";
    std::uint16_t port = 0;
    if (!serve::ParseListenAddress(parser.value(listen), host, port)) {
      BadUsage("--listen takes [HOST:]PORT, such as 127.0.0.1:5025");
    }
    options.listen = {host, port};
  }
  if (parser.isSet(scpi) && !options.listen) BadUsage("--scpi goes with --listen");
  options.scpi = parser.isSet(scpi);
  return options;
}

bool DisplayNamed(const Options& options) {
  // A Windows session always has its desktop; elsewhere a display must be named.
  if (options.displayGiven || QSysInfo::productType() == "windows") return true;
  for (const char* variable : {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "DISPLAY"}) {
    if (!qEnvironmentVariableIsEmpty(variable)) return true;
  }
  std::fprintf(stderr,
               "zrt-panel: no display to show the window on (DISPLAY and WAYLAND_DISPLAY are "
               "unset)\n");
  return false;
}

}  // namespace zrt::app
