// The key buttons share one QButtonGroup; the arrow keys still move the focus
// through the focus order, as they do from a button outside any group, and
// not to the group's nearest button by place.
#include "window/form/focus_order_button.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QButtonGroup>
#include <QTest>
#include <QWidget>

namespace zrt::window {
namespace {

TEST(FocusOrderButton, ArrowsFollowTheFocusOrderInAGroup) {
  // First, second and third in the focus order; the third stands right of
  // the first and the second below it, so that by place they swap.
  const struct {
    const char* what;
    Qt::Key key;
    Qt::LayoutDirection direction;
    int to;  // index in the focus order, from the second
  } cases[] = {
      {"right", Qt::Key_Right, Qt::LeftToRight, 2},
      {"down", Qt::Key_Down, Qt::LeftToRight, 2},
      {"left", Qt::Key_Left, Qt::LeftToRight, 0},
      {"up", Qt::Key_Up, Qt::LeftToRight, 0},
      {"right, read right to left", Qt::Key_Right, Qt::RightToLeft, 0},
      {"left, read right to left", Qt::Key_Left, Qt::RightToLeft, 0},
  };
  for (const auto& c : cases) {
    QWidget panel;
    panel.setLayoutDirection(c.direction);
    QButtonGroup group;
    group.setExclusive(false);
    FocusOrderButton* buttons[3];
    const QRect places[3] = {{0, 0, 50, 20}, {0, 60, 50, 20}, {60, 0, 50, 20}};
    for (int i = 0; i < 3; ++i) {
      buttons[i] = new FocusOrderButton(QString::number(i), &panel);
      buttons[i]->setGeometry(places[i]);
      group.addButton(buttons[i], i);
    }
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel)) << c.what;
    QApplication::setActiveWindow(&panel);
    buttons[1]->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return buttons[1]->hasFocus(); })) << c.what;
    QTest::keyClick(buttons[1], c.key);
    EXPECT_TRUE(buttons[c.to]->hasFocus()) << c.what;
  }
}

TEST(FocusOrderButton, EachWayOfPressingItClicksOnce) {
  QWidget panel;
  QButtonGroup group;
  group.setExclusive(false);
  auto* button = new FocusOrderButton("A_Sine", &panel);
  group.addButton(button, 7);
  int clicks = 0;
  QObject::connect(&group, &QButtonGroup::idClicked, [&](int id) {
    EXPECT_EQ(id, 7);
    ++clicks;
  });
  panel.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_EQ(clicks, 1) << "the mouse";
  button->setFocus();
  QTest::keyClick(button, Qt::Key_Space);
  EXPECT_EQ(clicks, 2) << "the space bar";
  button->click();
  EXPECT_EQ(clicks, 3) << "a program";
}

}  // namespace
}  // namespace zrt::window
