#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QRadioButton>

#include "window/form/layout_table.h"
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
