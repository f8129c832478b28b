// What stands around the original area, looked at as rendered: readable in
// a dark palette, and whole when the screen scales the window (ctest runs
// this file again at QT_SCALE_FACTOR 1.5 and 2, with the geometry tests).
#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleFactory>
#include <QTabBar>
#include <QTableWidget>

#include "contrast.h"
#include "window/log/log_view.h"
#include "window/send/sequence_bar.h"
#include "window_fixture.h"

namespace zrt::window::testing {
namespace {

class AppearanceTest : public WindowTest {
 protected:
  // `widget`'s part `area` (its own coordinates, all of it by default) as
  // the window shows it, in the grabbed image's pixels.
  QRect InImage(QWidget* widget, QRect area = {}) const {
    if (area.isNull()) area = widget->rect();
    const qreal ratio = form->devicePixelRatioF();
    const QRect logical(widget->mapTo(form.get(), area.topLeft()), area.size());
    return {QPoint(qRound(logical.x() * ratio), qRound(logical.y() * ratio)),
            QSize(qRound(logical.width() * ratio), qRound(logical.height() * ratio))};
  }

  // The area below with something in each of its parts: log rows, a
  // sequence refused with its trouble said, the instrument's table.
  void FillTheAreaBelow() {
    form->SetLogShown(true);
    auto* bar = form->findChild<SequenceBar*>("SequenceBar");
    QSignalSpy finished(bar, &SequenceBar::LoadFinished);
    ASSERT_TRUE(bar->Load(QDir::temp().filePath("no-such-sequence.zrt")));
    ASSERT_TRUE(finished.wait(5000));
    form->SetInstrumentShown(true);
    QApplication::processEvents();
  }
};

TEST_F(AppearanceTest, TheAreaBelowReadsInADarkPalette) {
  const QString style = QApplication::style()->name();
  const QPalette palette = QApplication::palette();
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  QApplication::setPalette(QPalette(QColor(53, 53, 53)));  // a dark theme's, derived
  FillTheAreaBelow();
  form->SetLogShown(true);
  QApplication::processEvents();
  const QImage log = form->grab().toImage();
  form->SetInstrumentShown(true);
  QApplication::processEvents();
  const QImage instrument = form->grab().toImage();
  QDir().mkpath(ZRT_SCREENSHOT_DIR);
  instrument.save(QDir(ZRT_SCREENSHOT_DIR).filePath("dark.png"), "PNG");

  auto* view = Get<LogView>("LogView");
  auto* table = Get<QTableWidget>("InstrumentTable");
  auto* tabs = Get<QTabBar>("AreaTabs");
  ASSERT_GT(table->rowCount(), 0);
  const struct {
    const char* what;
    const QImage& image;
    QRect area;
  } parts[] = {
      {"a log row", log, InImage(view->viewport(), {0, 0, view->viewport()->width(), 14})},
      {"the sequence's trouble", log, InImage(Get("SequenceWhere"))},
      {"the status line", log, InImage(Get("StatusText"))},
      {"a tab", log, InImage(tabs, tabs->tabRect(0).adjusted(2, 2, -2, -2))},
      {"an item's name", instrument,
       InImage(table->viewport(), table->visualItemRect(table->item(0, 0)).adjusted(1, 1, -1, -1))},
      {"a column's heading", instrument,
       InImage(table->horizontalHeader(), {0, 0, table->horizontalHeader()->sectionSize(0), 10})},
  };
  for (const auto& part : parts) {
    EXPECT_GE(DrawnContrast(part.image, part.area), 4.5) << part.what;
  }
  QApplication::setPalette(palette);
  QApplication::setStyle(style);
}

// The scaled window to look at, with the area below filled.
TEST_F(AppearanceTest, ScaledAsAWhole) {
  const qreal ratio = form->devicePixelRatioF();
  if (ratio == 1) GTEST_SKIP() << "ctest runs this at QT_SCALE_FACTOR 1.5 and 2";
  FillTheAreaBelow();
  QDir().mkpath(ZRT_SCREENSHOT_DIR);
  EXPECT_TRUE(form->grab().save(
      QDir(ZRT_SCREENSHOT_DIR).filePath(QString("scaled-%1.png").arg(ratio)), "PNG"));
}

}  // namespace
}  // namespace zrt::window::testing
