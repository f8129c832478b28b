// A captioned box of mutually exclusive choices with a selected index, the
// way the settings pages offer the interface and the language.
#pragma once

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;

namespace zrt::window {

class RadioGroup : public QGroupBox {
  Q_OBJECT

 public:
  RadioGroup(const QStringList& items, QWidget* parent = nullptr);

  // -1 when nothing is selected.
  int ItemIndex() const;
  void SetItemIndex(int index);
  int ItemCount() const;

 signals:
  // The operator picked an item (also when it was already selected), like a
  // click on the group.
  void Clicked();

 private:
  QButtonGroup* buttons_;
};

}  // namespace zrt::window
