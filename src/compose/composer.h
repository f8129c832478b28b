// The command composer: turns one key press into a change of availability and
// an appended key text. The composed command exists only as the command
// line's text; the composer keeps no history or parse state.
#pragma once

#include <cstdint>

#include "compose/composer_target.h"
#include "compose/key_vocabulary.h"

namespace zrt::compose {

class Composer {
 public:
  explicit Composer(ComposerTarget& target) : target_(target) {}

  // What a panel button's click does: store its key code, store its unit
  // group when it is an item key that has one, then PressKey().
  void HandleKey(int keyCode);

  // A function key narrows the item keys, an item key the unit keys (both
  // before the text is appended); then the key text goes to the end of the
  // line and the unit group is cleared, so it never carries over.
  void PressKey();

  // Appends KeyText(CurrentKeyCode()) to the end of the line, whatever the
  // caret; the line is written back even when the text is empty.
  void AppendKeyText();

  void ResetUnitGroup() { currentUnitGroup_ = kNoUnitGroup; }

  int CurrentKeyCode() const { return currentKeyCode_; }
  void SetCurrentKeyCode(int keyCode) { currentKeyCode_ = keyCode; }
  std::uint8_t CurrentUnitGroup() const { return currentUnitGroup_; }
  void SetCurrentUnitGroup(std::uint8_t group) { currentUnitGroup_ = group; }

 private:
  ComposerTarget& target_;
  int currentKeyCode_ = 0;
  std::uint8_t currentUnitGroup_ = kNoUnitGroup;
};

}  // namespace zrt::compose
