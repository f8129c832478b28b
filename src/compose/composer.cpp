#include "compose/composer.h"

#include "compose/availability.h"

namespace zrt::compose {

void Composer::HandleKey(int keyCode) {
  currentKeyCode_ = keyCode;
  if (ClassOf(keyCode) == KeyClass::Item) {
    const KeyEntry* entry = FindKey(keyCode);
    if (entry && entry->unitGroup != kNoUnitGroup) currentUnitGroup_ = entry->unitGroup;
  }
  PressKey();
}

void Composer::PressKey() {
  const int k = currentKeyCode_;
  switch (ClassOf(k)) {
    case KeyClass::Function:
      DisableAllItems(target_);
      EnableItemsForFunction(target_, k);
      break;
    case KeyClass::Item:
      DisableAllUnits(target_);
      EnableUnitsForGroup(target_, currentUnitGroup_);
      break;
    default:
      break;
  }
  AppendKeyText();
  ResetUnitGroup();
}

void Composer::AppendKeyText() {
  std::u16string line = target_.CommandLine();
  // Key texts are plain ASCII, so widening each byte keeps every character.
  for (char c : KeyText(currentKeyCode_)) line.push_back(static_cast<char16_t>(c));
  target_.SetCommandLine(line);
}

}  // namespace zrt::compose
