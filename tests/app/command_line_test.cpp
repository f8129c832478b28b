// The panel's command line, run as a user runs it: help and version without
// a display, one line and one exit code for what it does not take.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

namespace {

struct Outcome {
  int exitCode;
  QString out, err;
};

Outcome Panel(const QStringList& arguments, bool display, const QString& xDisplay = {},
              const QString& configHome = {}, const QString& program = ZRT_PANEL) {
  QProcess panel;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    environment.remove(variable);
  }
  if (display) environment.insert("QT_QPA_PLATFORM", "offscreen");
  if (!xDisplay.isEmpty()) environment.insert("DISPLAY", xDisplay);
  if (!configHome.isEmpty()) environment.insert("XDG_CONFIG_HOME", configHome);
  panel.setProcessEnvironment(environment);
  panel.start(program, arguments);
  if (!panel.waitForFinished(20000)) {
    panel.kill();
    return {-1, {}, {}};
  }
  return {panel.exitStatus() == QProcess::NormalExit ? panel.exitCode() : -2,
          QString::fromUtf8(panel.readAllStandardOutput()),
          QString::fromUtf8(panel.readAllStandardError())};
}

TEST(CommandLine, AnswersWithoutADisplay) {
  struct Case {
    QStringList arguments;
    int exitCode;
    const char* said;  // in the output, or for an error alone on standard error
  };
  const Case cases[] = {
      {{"--help"}, 0, "--simulate"},
      {{"--version"}, 0, "zrt-panel 0.1.0\n"},
      {{"--bogus"}, 2, "zrt-panel: Unknown option 'bogus'. (try --help)\n"},
      {{"-platform=offscreen"},
       2,
       "zrt-panel: Unknown option 'platform'. (try --help)\n"},  // Qt takes no "=" here
      {{"-style", "Fusion", "--reverse"},
       1,
       "zrt-panel: no display to show the window on (DISPLAY and WAYLAND_DISPLAY are "
       "unset)\n"},
      {{"stray"}, 2, "zrt-panel: unexpected argument 'stray' (try --help)\n"},
      {{"--language", "7"}, 2, "zrt-panel: --language takes 0, 1 or 2 (try --help)\n"},
      {{},
       1,
       "zrt-panel: no display to show the window on (DISPLAY and WAYLAND_DISPLAY are "
       "unset)\n"},
  };
  for (const Case& c : cases) {
    const Outcome run = Panel(c.arguments, false);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments.join(' ').toStdString();
    if (c.exitCode == 0) {
      EXPECT_TRUE(run.out.contains(QString::fromUtf8(c.said))) << run.out.toStdString();
    } else {
      EXPECT_EQ(run.err, QString::fromUtf8(c.said));
    }
  }
}

// Qt's own options are Qt's to take.
TEST(CommandLine, QtsOptionsPassThrough) {
  const QString file = QString(ZRT_TEST_OUTPUT) + "/styled.png";
  for (const QStringList& options :
       {QStringList{"-style", "Fusion", "-reverse", "-session", "s1"},
        QStringList{"--style=Fusion", "-widgetcount", "-qwindowtitle", "Bench"}}) {
    const Outcome run = Panel(options + QStringList{"--screenshot", file}, true);
    EXPECT_EQ(run.exitCode, 0) << options.join(' ').toStdString() << run.err.toStdString();
  }
  EXPECT_EQ(Panel({"-platform", "offscreen", "--screenshot", file}, false).exitCode, 0);
}

// A display that is named but cannot be had: one line and status 1.
TEST(CommandLine, ADisplayThatIsNotThere) {
  struct Case {
    QStringList arguments;
    QString display;
  };
  const Case cases[] = {
      {{}, ":97"},  // no X server answers there
      {{"-platform", "zrt-no-such-platform"}, {}},
  };
  for (const Case& c : cases) {
    const Outcome run = Panel(c.arguments, false, c.display);
    EXPECT_EQ(run.exitCode, 1) << run.err.toStdString();
    EXPECT_TRUE(run.err.startsWith("zrt-panel: cannot show the window: ")) << run.err.toStdString();
    EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
  }
}

TEST(CommandLine, ResetSettingsForgetsThem) {
  QTemporaryDir config;
  ASSERT_TRUE(QDir(config.path()).mkpath("zrt-panel"));
  const QString file = config.filePath("zrt-panel/zrt-panel.conf");
  {
    QFile conf(file);
    ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
    conf.write("[General]\nport=/dev/ttyUSB7\n");
  }
  const QString shot = QString(ZRT_TEST_OUTPUT) + "/reset.png";
  EXPECT_EQ(Panel({"--reset-settings", "--screenshot", shot}, true, {}, config.path()).exitCode, 0);
  QFile conf(file);
  ASSERT_TRUE(conf.open(QIODevice::ReadOnly));
  EXPECT_FALSE(conf.readAll().contains("ttyUSB7"));
}

// A zrt-panel.ini beside the program holds its settings (a portable
// copy): the one in the user's folder is left alone.
TEST(CommandLine, APortableCopyKeepsItsSettingsBesideItself) {
  QTemporaryDir config;
  QTemporaryDir portable;
  ASSERT_TRUE(QDir(config.path()).mkpath("zrt-panel"));
  const QString conf = config.filePath("zrt-panel/zrt-panel.conf");
  const QString ini = portable.filePath("zrt-panel.ini");
  for (const QString& file : {conf, ini}) {
    QFile settings(file);
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write("[General]\nport=/dev/ttyUSB7\n");
  }
  const QString program = portable.filePath("zrt-panel");
  ASSERT_TRUE(QFile::copy(ZRT_PANEL, program));
  const QString shot = QString(ZRT_TEST_OUTPUT) + "/portable.png";
  EXPECT_EQ(
      Panel({"--reset-settings", "--screenshot", shot}, true, {}, config.path(), program).exitCode,
      0);
  for (const auto& [file, kept] : {std::pair{ini, false}, std::pair{conf, true}}) {
    QFile settings(file);
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
    EXPECT_EQ(settings.readAll().contains("ttyUSB7"), kept) << file.toStdString();
  }
}

TEST(CommandLine, ScreenshotOfTheSimulatedPanel) {
  const QString file = QString(ZRT_TEST_OUTPUT) + "/simulated.png";
  const Outcome run = Panel({"--simulate", "--screenshot", file}, true);
  EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
}

}  // namespace
