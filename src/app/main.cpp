#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <memory>
#include <optional>

#include "app/display_guard.h"
#include "app/font_config_preload.h"
#include "app/options.h"
#include "app/startup_report.h"
#include "sim/simulated_ch375.h"
#include "sim/simulated_serial.h"
#include "window/form/filled_tick_style.h"
#include "window/main_window.h"

int main(int argc, char** argv) {
  QCoreApplication::setApplicationName("zrt-panel");
  QCoreApplication::setApplicationVersion(ZRT_VERSION);
  const zrt::app::Options options = zrt::app::ParseOptions(argc, argv);
  if (!zrt::app::DisplayNamed(options)) return 1;

  zrt::app::FontConfigPreload fontConfig;
  zrt::app::DisplayGuard displayGuard;
  QApplication app(argc, argv);
  displayGuard.Release();
  QGuiApplication::setDesktopFileName(ZRT_APP_ID);
  zrt::window::UseFilledTicks();

  // The simulated instrument outlives the window that talks to it.
  std::unique_ptr<zrt::sim::SimulatedSerial> serialInstrument;
  std::unique_ptr<zrt::sim::SimulatedCh375> usbInstrument;
  if (options.simulate) {
    serialInstrument = std::make_unique<zrt::sim::SimulatedSerial>();
    usbInstrument = std::make_unique<zrt::sim::SimulatedCh375>();
  }
  // In ~/.config/zrt-panel/zrt-panel.conf (the registry on Windows), or in
  // a zrt-panel.ini beside the program when there is one: a portable copy
  // keeps its settings with itself. Outlives the window that writes it.
  std::optional<QSettings> settings;
  if (options.Remembers() || options.resetSettings) {
    const QString portable = QDir(QCoreApplication::applicationDirPath()).filePath("zrt-panel.ini");
    if (QFileInfo::exists(portable)) {
      settings.emplace(portable, QSettings::IniFormat);
    } else {
      settings.emplace("zrt-panel", "zrt-panel");
    }
    if (options.resetSettings) settings->clear();
  }
  fontConfig.Wait();
  zrt::window::TForm1 form(
      nullptr, serialInstrument ? serialInstrument->Platform() : zrt::link::SystemSerialPlatform(),
      usbInstrument ? *usbInstrument : zrt::link::SystemCh375Library());
  if (serialInstrument) {
    qobject_cast<QComboBox*>(form.Control("cbo1"))
        ->setEditText(QString::fromStdString(serialInstrument->PortName()));
  }
  if (options.Remembers()) form.Remember(*settings);
  if (options.language) form.SelectLanguage(static_cast<zrt::window::Language>(*options.language));
  if (options.listen) {
    form.Sharing().SetAddress(options.listen->first, options.listen->second);
    form.Sharing().SetScpi(options.scpi);
    form.Sharing().SetOn(true);
  }
  if (options.reportStartup) zrt::app::ReportStartupWhenShown(&form);
  form.show();

  if (!options.screenshotPath.isEmpty()) {
    QApplication::processEvents();
    if (!form.grab().save(options.screenshotPath, "PNG")) {
      qCritical("zrt-panel: cannot write %s",
                qPrintable(QDir::toNativeSeparators(options.screenshotPath)));
      return 1;
    }
    return 0;
  }
  return QApplication::exec();
}
