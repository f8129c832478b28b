// Adapts the window's key buttons and command line to the composer.
#pragma once

#include <array>

#include "compose/composer_target.h"
#include "compose/key_vocabulary.h"

class QLineEdit;
class QPushButton;

namespace zrt::window {

class KeyButtons : public compose::ComposerTarget {
 public:
  explicit KeyButtons(QLineEdit* commandLine) : commandLine_(commandLine) {}

  // Binds a code to its button; each code has at most one.
  void Bind(int keyCode, QPushButton* button);
  QPushButton* Button(int keyCode) const;

  std::u16string CommandLine() const override;
  void SetCommandLine(const std::u16string& text) override;
  void SetKeyEnabled(int keyCode, bool enabled) override;

 private:
  QLineEdit* commandLine_;
  std::array<QPushButton*, compose::kMaxKeyCode + 1> buttons_{};
};

}  // namespace zrt::window
