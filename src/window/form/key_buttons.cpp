#include "window/form/key_buttons.h"

#include <QLineEdit>
#include <QPushButton>

namespace zrt::window {

void KeyButtons::Bind(int keyCode, QPushButton* button) {
  Q_ASSERT(keyCode >= 0 && keyCode <= compose::kMaxKeyCode);
  Q_ASSERT(!buttons_[static_cast<std::size_t>(keyCode)]);
  buttons_[static_cast<std::size_t>(keyCode)] = button;
}

QPushButton* KeyButtons::Button(int keyCode) const {
  if (keyCode < 0 || keyCode > compose::kMaxKeyCode) return nullptr;
  return buttons_[static_cast<std::size_t>(keyCode)];
}

std::u16string KeyButtons::CommandLine() const { return commandLine_->text().toStdU16String(); }

void KeyButtons::SetCommandLine(const std::u16string& text) {
  commandLine_->setText(QString::fromStdU16String(text));
}

void KeyButtons::SetKeyEnabled(int keyCode, bool enabled) {
  if (QPushButton* button = Button(keyCode)) button->setEnabled(enabled);
}

}  // namespace zrt::window
