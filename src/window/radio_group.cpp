#include "window/radio_group.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

namespace zrt::window {

RadioGroup::RadioGroup(const QStringList& items, QWidget* parent)
    : QGroupBox(parent), buttons_(new QButtonGroup(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 4, 4, 4);
  layout->setSpacing(0);
  for (int i = 0; i < items.size(); ++i) {
    auto* button = new QRadioButton(items[i], this);
    buttons_->addButton(button, i);
    layout->addWidget(button);
  }
  layout->addStretch(1);
  connect(buttons_, &QButtonGroup::idClicked, this, [this] { emit Clicked(); });
}

int RadioGroup::ItemIndex() const { return buttons_->checkedId(); }

void RadioGroup::SetItemIndex(int index) {
  if (QAbstractButton* button = buttons_->button(index)) button->setChecked(true);
}

int RadioGroup::ItemCount() const { return static_cast<int>(buttons_->buttons().size()); }

}  // namespace zrt::window
