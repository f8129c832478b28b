#include "window/form/radio_group.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>
#include <utility>

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
  // A new selection arrives as a toggle however it was made; a click on the
  // item already selected changes nothing and arrives only as a click.
  connect(buttons_, &QButtonGroup::idToggled, this, [this](int, bool checked) {
    if (checked) emit Clicked();
  });
  connect(buttons_, &QButtonGroup::idPressed, this,
          [this] { selectedAtPress_ = buttons_->checkedId(); });
  connect(buttons_, &QButtonGroup::idClicked, this, [this](int id) {
    if (id == std::exchange(selectedAtPress_, -1)) emit Clicked();
  });
}

int RadioGroup::ItemIndex() const { return buttons_->checkedId(); }

void RadioGroup::SetItemIndex(int index) {
  QAbstractButton* button = buttons_->button(index);
  if (!button) return;
  const QSignalBlocker quiet(button);
  button->setChecked(true);
}

int RadioGroup::ItemCount() const { return static_cast<int>(buttons_->buttons().size()); }

}  // namespace zrt::window
