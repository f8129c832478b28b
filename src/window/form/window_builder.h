// Creates the window's controls and key panels from the layout tables.
#pragma once

#include <QHash>
#include <QString>
#include <vector>

class QButtonGroup;
class QPushButton;
class QWidget;

namespace zrt::window {

struct KeyButton {
  int code;
  QPushButton* button;
};

struct BuiltControls {
  QHash<QString, QWidget*> byName;    // every control of the layout table and every key button
  std::vector<KeyButton> keys;        // the key panels' buttons, in focus order
  QButtonGroup* keyClicks = nullptr;  // every key button, with its code as its id
};

// Gives `window` its font, then builds every control under it (it becomes
// their owner) with the caption it starts with (its English one, else its
// design caption), and its contents, geometry and font; so that nothing is
// laid out twice at start-up.
BuiltControls BuildControls(QWidget* window);

}  // namespace zrt::window
