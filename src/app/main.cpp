#include <QApplication>
#include <QDir>

#include "app/options.h"
#include "app/startup_report.h"
#include "window/main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("zrt-panel");
  QApplication::setApplicationVersion(ZRT_VERSION);
  QGuiApplication::setDesktopFileName("zrt-panel");
  const zrt::app::Options options = zrt::app::ParseOptions(app);

  zrt::window::TForm1 form;
  if (options.language) form.SelectLanguage(static_cast<zrt::window::Language>(*options.language));
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
