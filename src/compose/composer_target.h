// What the composer works on: the command line and the enabled flags of the
// key buttons. The window adapts its real controls to it; tests use a fake.
#pragma once

#include <string>

namespace zrt::compose {

class ComposerTarget {
 public:
  virtual ~ComposerTarget() = default;

  // The command line's whole text (UTF-16, as the edit holds it).
  virtual std::u16string CommandLine() const = 0;
  virtual void SetCommandLine(const std::u16string& text) = 0;

  // Enables or disables the button that produces keyCode. Only codes that
  // have a button are ever passed.
  virtual void SetKeyEnabled(int keyCode, bool enabled) = 0;
};

}  // namespace zrt::compose
