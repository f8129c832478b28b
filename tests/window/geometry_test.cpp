#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QRadioButton>
#include <QScreen>
#include <QTableWidget>

#include "window/form/layout_table.h"
#include "window/instrument/instrument_view.h"
#include "window/instrument/output_preview.h"
#include "window_fixture.h"

namespace zrt::window::testing {
namespace {

using GeometryTest = WindowTest;

TEST_F(GeometryTest, PanelsStandWhereDesigned) {
  EXPECT_EQ(Get("gbo1")->geometry(), QRect(8, 8, 113, 345));
  EXPECT_EQ(Get("gbo2")->geometry(), QRect(128, 8, 449, 345));
  EXPECT_EQ(Get("gbo3")->geometry(), QRect(584, 8, 121, 161));
  EXPECT_EQ(Get("gbo5")->geometry(), QRect(712, 8, 73, 161));
  EXPECT_EQ(Get("gbo4")->geometry(), QRect(584, 168, 201, 185));
  EXPECT_EQ(Get("pcon1")->geometry(), QRect(472, 360, 313, 123));
  EXPECT_EQ(Get("Edit1")->geometry(), QRect(96, 360, 273, 33));
  EXPECT_EQ(Get("Edit3")->geometry(), QRect(96, 408, 273, 73));
  EXPECT_EQ(Get("StatusBar1")->geometry(), QRect(0, 483, 801, 19));
  EXPECT_EQ(Get("Image1")->geometry(), QRect(116, 59, 31, 17));
  EXPECT_EQ(Get("cbo1")->parentWidget(), Get("gbo6"));
}

TEST_F(GeometryTest, KeysStandOnTheirGrids) {
  EXPECT_EQ(Button("Button1")->geometry(), QRect(4, 0, 75, 25));
  EXPECT_EQ(Button("Button96")->geometry(), QRect(4, 120, 75, 25));
  EXPECT_EQ(Button("Button101")->geometry(), QRect(4, 288, 75, 25));
  EXPECT_EQ(Button("Button14")->geometry(), QRect(8, 3, 75, 25));
  EXPECT_EQ(Button("Button115")->geometry(), QRect(88, 123, 75, 25));
  EXPECT_EQ(Button("Button61")->geometry(), QRect(248, 267, 75, 25));
  EXPECT_EQ(Button("Button116")->geometry(), QRect(328, 219, 75, 25));
  EXPECT_EQ(Button("Button66")->geometry(), QRect(8, 24, 25, 25));
  EXPECT_EQ(Button("Button77")->geometry(), QRect(88, 120, 25, 25));
  EXPECT_EQ(Button("Button95")->geometry(), QRect(16, 56, 40, 25));
  EXPECT_EQ(Button("Button93")->geometry(), QRect(152, 120, 40, 25));
  EXPECT_EQ(Button("Button105")->geometry(), QRect(56, 152, 40, 25));
  EXPECT_EQ(Button("Button1")->parentWidget(), Get("tsh3"));
  EXPECT_EQ(Button("Button14")->parentWidget(), Get("tsh5"));
}

// Every key and control must be fully inside what its parent shows, or part
// of it would be cut off on screen.
TEST_F(GeometryTest, NothingStandsOutsideItsParent) {
  for (QWidget* w : form->findChildren<QWidget*>()) {
    if (w->objectName().isEmpty() || !w->isVisible() || w->isWindow()) continue;
    const QRect area = w->parentWidget()->rect();
    EXPECT_TRUE(area.contains(w->geometry())) << w->objectName().toStdString();
  }
}

// Each caption fits its control in every language.
TEST_F(GeometryTest, CaptionsFitInEveryLanguage) {
  for (int language : {0, 1, 2}) {
    form->SelectLanguage(static_cast<Language>(language));
    for (QPushButton* button : form->findChildren<QPushButton*>()) {
      if (!button->isVisible()) continue;
      const int needed = QFontMetrics(button->font()).horizontalAdvance(button->text());
      EXPECT_LE(needed, button->width() - 4)
          << button->objectName().toStdString() << " '" << button->text().toStdString() << "'";
    }
    for (QLabel* label : form->findChildren<QLabel*>()) {
      if (!label->isVisible() || label->text().isEmpty()) continue;
      const int needed = QFontMetrics(label->font()).horizontalAdvance(label->text());
      EXPECT_LE(needed, label->width()) << label->objectName().toStdString();
    }
  }
}

// The instrument's page asks for the height that shows both channels' rows,
// their limits and the picture; it opens at it, as far as the screen
// allows, and each page keeps the height it was given.
TEST(InstrumentPage, AsksForTheHeightThatShowsBothChannels) {
  InstrumentView view;
  view.Show({}, {});
  view.resize(view.sizeHint());
  view.show();
  QApplication::processEvents();
  auto* table = view.Table();
  const QRect last = table->visualItemRect(table->item(table->rowCount() - 1, 0));
  EXPECT_LE(last.bottom(), table->viewport()->height()) << "the limits' row is cut";
  EXPECT_GE(view.Preview()->height(), view.Preview()->minimumSizeHint().height());
}

TEST_F(GeometryTest, TheInstrumentPageOpensAtItsHeightAndKeepsIt) {
  form->show();
  form->SetInstrumentShown(true);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Get("InstrumentTable")->isVisible(); }, 5000));
  const int screen = form->screen()->availableGeometry().height();
  const int asked = Get("InstrumentView")->sizeHint().height();
  EXPECT_EQ(form->height(), 502 + form->InstrumentHeight());
  EXPECT_GE(form->InstrumentHeight(), std::min(asked, screen - 502 - 50));
  // On the screen where it fits (a pixel or two from rounding at a scale).
  EXPECT_LE(form->frameGeometry().height(), std::max(screen, 502 + LogArea::kFirstHeight) + 2);

  form->SetInstrumentHeight(300);
  const int instrument = form->height();
  EXPECT_EQ(instrument, 502 + 300);
  form->SetLogShown(true);
  EXPECT_EQ(form->height(), 502 + form->LogHeight());
  form->SetInstrumentShown(true);
  EXPECT_EQ(form->height(), instrument);
}

TEST_F(GeometryTest, FontsCarryChineseAtTheirSizes) {
  const QFont window = form->font();
  EXPECT_EQ(window.pixelSize(), 11);
  EXPECT_TRUE(QFontMetrics(window).inFont(QChar(0x9891)));  // 频
  EXPECT_TRUE(QFontMetrics(window).inFont(QChar(0x983B)));  // 頻
  EXPECT_EQ(Get("lbel1")->font().pixelSize(), 13);
  EXPECT_TRUE(Get("lbel1")->font().bold());
  EXPECT_EQ(Get("Edit1")->font().pixelSize(), 16);
  EXPECT_EQ(Get("Edit2")->font().pixelSize(), 16);
  EXPECT_TRUE(Button("btn96")->font().bold());
  EXPECT_EQ(Button("btn96")->font().pixelSize(), 11);
  EXPECT_FALSE(Button("Button1")->font().bold());
}

}  // namespace
}  // namespace zrt::window::testing
