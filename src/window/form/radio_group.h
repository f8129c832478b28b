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
  // Selects an item from the program's side; Clicked is not emitted.
  void SetItemIndex(int index);
  int ItemCount() const;

 signals:
  // The operator selected an item, by pointer, keyboard or an assistive
  // tool's toggle; also a click on the item already selected.
  void Clicked();

 private:
  QButtonGroup* buttons_;
  int selectedAtPress_ = -1;
};

}  // namespace zrt::window
