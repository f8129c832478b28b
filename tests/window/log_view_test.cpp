#include "window/log/log_view.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QScrollBar>
#include <QTest>

#include "window/log/log_panel.h"
#include "window/log/session_log.h"

namespace zrt::window {
namespace {

LogEntry Event(int n) {
  return {
      QDateTime::currentDateTime(), LogEntry::Kind::Event, "COM1", {}, QString("entry %1").arg(n)};
}

// A log of `capacity` entries in a view of about ten rows, shown.
struct Shown {
  explicit Shown(qsizetype capacity = 1000) : log(capacity) {
    view.SetModel(&log);
    view.resize(400, view.fontMetrics().lineSpacing() * 10 + 2 * view.frameWidth());
    view.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&view));
  }
  void Add(int from, int to) {
    for (int n = from; n < to; ++n) log.Append(Event(n));
  }
  int RowsInSight() const { return view.viewport()->height() / view.fontMetrics().lineSpacing(); }
  // The text of the row at the top of the view.
  QString Top() const { return log.data(log.index(view.FirstVisibleRow())).toString(); }
  void ClickRow(int rowInSight, Qt::KeyboardModifiers modifiers = {}) {
    const int y = view.fontMetrics().lineSpacing() * rowInSight + 2;
    QTest::mouseClick(view.viewport(), Qt::LeftButton, modifiers, QPoint(10, y));
  }
  SessionLog log;
  LogView view;
};

TEST(LogView, FollowsNewRowsUnlessScrolledBack) {
  Shown shown;
  shown.Add(0, 100);
  EXPECT_TRUE(shown.view.Following());
  EXPECT_EQ(shown.view.FirstVisibleRow(), 100 - shown.RowsInSight());

  // The operator drags the bar back: new rows leave the view where it is,
  // and the bar, told a moment later, stands at the same row.
  QScrollBar* bar = shown.view.verticalScrollBar();
  QTRY_COMPARE(bar->maximum(), shown.view.FirstVisibleRow());
  bar->setValue(20);
  EXPECT_EQ(shown.view.FirstVisibleRow(), 20);
  shown.Add(100, 150);
  EXPECT_EQ(shown.view.FirstVisibleRow(), 20);
  EXPECT_FALSE(shown.view.Following());
  QTRY_COMPARE(bar->maximum(), 150 - shown.RowsInSight());
  EXPECT_EQ(bar->value(), 20);

  // Back at the end, it follows again.
  bar->setValue(bar->maximum());
  shown.Add(150, 151);
  EXPECT_TRUE(shown.view.Following());

  // And it keeps following as the view shrinks and grows.
  for (const int height : {shown.view.height() / 2, shown.view.height() * 3}) {
    shown.view.resize(shown.view.width(), height);
    shown.Add(151, 152);
    EXPECT_TRUE(shown.view.Following()) << height;
    QTRY_COMPARE(shown.view.FirstVisibleRow(), std::max(0, 152 - shown.RowsInSight()));
  }
}

TEST(LogView, KeepsItsRowsAndSelectionAsTheOldestAreDropped) {
  Shown shown(50);
  shown.Add(0, 50);
  QTRY_COMPARE(shown.view.verticalScrollBar()->maximum(), 50 - shown.RowsInSight());
  shown.view.verticalScrollBar()->setValue(10);
  shown.ClickRow(0);
  shown.ClickRow(2, Qt::ShiftModifier);
  EXPECT_EQ(shown.Top(), shown.log.data(shown.log.index(10)).toString());
  const QString top = shown.Top();
  const QString selected = shown.view.SelectedText();
  EXPECT_EQ(selected.count('\n'), 2);

  shown.Add(50, 55);  // five dropped
  EXPECT_EQ(shown.view.FirstVisibleRow(), 5);
  EXPECT_EQ(shown.Top(), top);
  EXPECT_EQ(shown.view.SelectedText(), selected);

  // Once the selected rows are gone, nothing is selected.
  shown.Add(55, 70);
  EXPECT_EQ(shown.view.Selection(), std::make_pair(-1, -1));
  EXPECT_EQ(shown.view.FirstVisibleRow(), 0);
}

TEST(LogView, SelectsAndCopiesLines) {
  Shown shown;
  shown.Add(0, 5);
  struct Case {
    const char* how;
    std::function<void()> act;
    QString copied;
  } cases[] = {
      {"click", [&] { shown.ClickRow(1); }, "entry 1"},
      {"shift+click", [&] { shown.ClickRow(3, Qt::ShiftModifier); }, "entry 1\nentry 2\nentry 3"},
      {"shift+up", [&] { QTest::keyClick(&shown.view, Qt::Key_Up, Qt::ShiftModifier); },
       "entry 1\nentry 2"},
      {"end", [&] { QTest::keyClick(&shown.view, Qt::Key_End); }, "entry 4"},
      {"select all", [&] { QTest::keyClick(&shown.view, Qt::Key_A, Qt::ControlModifier); },
       "entry 0\nentry 1\nentry 2\nentry 3\nentry 4"},
  };
  shown.view.setFocus();
  for (const Case& c : cases) {
    c.act();
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(&shown.view, Qt::Key_C, Qt::ControlModifier);
    QStringList lines = QGuiApplication::clipboard()->text().split('\n');
    for (QString& line : lines) line = line.section(" · ", 1);
    EXPECT_EQ(lines.join('\n'), c.copied) << c.how;
  }
}

// Rows added while following move the pixels already drawn and draw only
// the new row: what is on the screen must be what a full drawing gives,
// before the view is full and after, in a view not a whole number of rows
// high.
TEST(LogView, ScrolledPixelsMatchAFullDrawing) {
  Shown shown;
  shown.view.resize(400, shown.view.height() + shown.view.fontMetrics().lineSpacing() / 2);
  QWidget* viewport = shown.view.viewport();
  auto onScreen = [&] {
    const QPoint at = viewport->mapTo(&shown.view, QPoint(0, 0));
    return shown.view.screen()
        ->grabWindow(shown.view.winId(), at.x(), at.y(), viewport->width(), viewport->height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
  };
  for (int n = 0; n < 40; ++n) {
    shown.Add(n, n + 1);
    QCoreApplication::processEvents();
    if (n != 4 && n != 39) continue;
    const QImage drawn = viewport->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(onScreen().size(), drawn.size());
    EXPECT_TRUE(onScreen() == drawn) << n + 1 << " rows";
  }
}

// An accessibility client finds the rows in sight and the newest, each
// with its text and time, the oldest dropped.
TEST(LogView, ScreenReadersSeeTheRows) {
  Shown shown(50);
  shown.Add(0, 120);  // the oldest dropped
  QAccessibleInterface* list = QAccessible::queryAccessibleInterface(&shown.view);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->role(), QAccessible::List);
  ASSERT_EQ(list->childCount(), shown.RowsInSight());
  QAccessibleInterface* newest = list->child(list->childCount() - 1);
  ASSERT_NE(newest, nullptr);
  EXPECT_EQ(newest->role(), QAccessible::ListItem);
  EXPECT_TRUE(newest->text(QAccessible::Name).endsWith("entry 119"))
      << newest->text(QAccessible::Name).toStdString();
  EXPECT_EQ(newest->text(QAccessible::Name), shown.log.data(shown.log.index(49)).toString());
  EXPECT_EQ(list->indexOfChild(newest), list->childCount() - 1);
  // Scrolled back, the newest is still there after the rows in sight.
  QScrollBar* bar = shown.view.verticalScrollBar();
  QTRY_COMPARE(bar->maximum(), shown.view.FirstVisibleRow());
  bar->setValue(0);
  EXPECT_EQ(list->childCount(), shown.RowsInSight() + 1);
  EXPECT_TRUE(list->child(0)->text(QAccessible::Name).endsWith("entry 70"));
  EXPECT_TRUE(list->child(list->childCount() - 1)->text(QAccessible::Name).endsWith("entry 119"));
}

// With an assistive technology listening (an AT-SPI bus, as
// tests/window/with_atspi.sh gives), rows added and dropped are announced
// as a list view announces them. Elsewhere accessibility is off: skipped.
// The filter field shows the entries that contain its text (or its hex),
// with their count, new ones too; Enter and Shift+Enter go from one to the
// next and back, round.
TEST(LogPanel, FiltersAndGoesFromMatchToMatch) {
  SessionLog log;
  LogPanel panel(log);
  auto add = [&](const QByteArray& bytes) {
    log.Append({QDateTime::currentDateTime(), LogEntry::Kind::Received, "COM1", bytes, {}});
  };
  for (const char* reply : {"1000HZ\n", "OK\n", "2000HZ\n", "OK\n"}) add(reply);
  auto* search = panel.findChild<QLineEdit*>("LogSearch");
  auto* matches = panel.findChild<QLabel*>("LogMatches");
  struct Case {
    QString text;
    int rows;
  } cases[] = {{"hz", 2}, {"4F 4B", 2}, {"nothing", 0}, {"", 4}};
  for (const Case& c : cases) {
    search->setText(c.text);
    EXPECT_EQ(panel.View()->SelectedText().isEmpty(), true);
    panel.View()->SelectAll();
    EXPECT_EQ(panel.View()->SelectedText().split('\n', Qt::SkipEmptyParts).size(), c.rows)
        << c.text.toStdString();
    EXPECT_EQ(matches->text(),
              c.text.isEmpty() ? QString() : QString("%1 of 4 entries").arg(c.rows));
  }
  search->setText("HZ");
  add("5000HZ\n");
  EXPECT_EQ(matches->text(), "3 of 5 entries");
  const std::pair<Qt::KeyboardModifiers, int> keys[] = {{Qt::NoModifier, 0},
                                                        {Qt::NoModifier, 1},
                                                        {Qt::NoModifier, 2},
                                                        {Qt::NoModifier, 0},
                                                        {Qt::ShiftModifier, 2}};
  for (const auto& [modifiers, row] : keys) {
    QTest::keyClick(search, Qt::Key_Return, modifiers);
    EXPECT_EQ(panel.View()->CurrentRow(), row);
  }
}

TEST(LogViewAnnouncements, RowsAddedAndDroppedAreAnnounced) {
  if (qEnvironmentVariableIsEmpty("QT_LINUX_ACCESSIBILITY_ALWAYS_ON") ||
      !QTest::qWaitFor([] { return QAccessible::isActive(); }, 3000)) {
    GTEST_SKIP() << "no assistive technology is listening";
  }
  static std::vector<QAccessibleTableModelChangeEvent::ModelChangeType> heard;
  heard.clear();
  QAccessible::installUpdateHandler([](QAccessibleEvent* event) {
    if (event->type() == QAccessible::TableModelChanged) {
      heard.push_back(static_cast<QAccessibleTableModelChangeEvent*>(event)->modelChangeType());
    }
  });
  {
    Shown shown(3);
    shown.Add(0, 4);  // the fourth drops the first
  }
  QAccessible::installUpdateHandler(nullptr);
  using Change = QAccessibleTableModelChangeEvent;
  EXPECT_EQ(heard, (std::vector<Change::ModelChangeType>{Change::RowsInserted, Change::RowsInserted,
                                                         Change::RowsInserted, Change::RowsRemoved,
                                                         Change::RowsInserted}));
}

}  // namespace
}  // namespace zrt::window
