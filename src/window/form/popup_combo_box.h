// An editable combo box of a fixed, small size that still shows long
// entries: its list opens as wide as its longest entry, at the entry its
// text names, its whole text is its tooltip, and it says when its list is
// about to open, so that the list can be brought up to date first. A text a
// little too long for the box is drawn smaller, down to kSmallestPixels,
// so that a name such as /dev/pts/0 shows whole; a longer one shows its end.
#pragma once

#include <QComboBox>

namespace zrt::window {

class PopupComboBox : public QComboBox {
  Q_OBJECT

 public:
  explicit PopupComboBox(QWidget* parent = nullptr);

  void showPopup() override;
  static constexpr int kSmallestPixels = 8;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 signals:
  void AboutToPopup();

 private:
  void FitText();
};

}  // namespace zrt::window
