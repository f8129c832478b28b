// An editable combo box of a fixed, small size that still shows long
// entries: its list opens as wide as its longest entry, at the entry its
// text names, its whole text is its tooltip, and it says when its list is
// about to open, so that the list can be brought up to date first.
#pragma once

#include <QComboBox>

namespace zrt::window {

class PopupComboBox : public QComboBox {
  Q_OBJECT

 public:
  explicit PopupComboBox(QWidget* parent = nullptr);

  void showPopup() override;

 signals:
  void AboutToPopup();
};

}  // namespace zrt::window
