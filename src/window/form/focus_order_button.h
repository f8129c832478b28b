// A push button that keeps the arrow keys' meaning of a button on its own
// when it belongs to a QButtonGroup.
//
// The key buttons share one QButtonGroup, which reports a click with the
// key's code: one connection for all of them instead of one per button,
// each of which costs the button a connection table at start. A grouped
// button would move the focus with the arrow keys to the nearest button of
// its group by place; this one moves it through the focus order, as every
// other button of the window does.
#pragma once

#include <QPushButton>

namespace zrt::window {

class FocusOrderButton : public QPushButton {
 public:
  using QPushButton::QPushButton;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace zrt::window
