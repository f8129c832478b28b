// The instrument's command vocabulary: every key code of the operator panel,
// the button that produces it and the text it appends to the command line.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace zrt::compose {

// Unit group value meaning "no unit group": an item key without one leaves
// every unit button disabled.
inline constexpr std::uint8_t kNoUnitGroup = 255;

// Highest key code in the vocabulary; key-code-indexed arrays use kMaxKeyCode + 1.
inline constexpr int kMaxKeyCode = 145;

enum class KeyClass { Function, Item, Data, Symbol, Unit, Outside };

struct KeyEntry {
  int code;
  std::string_view button;         // Qt object name; empty when no button produces the code
  std::string_view designCaption;  // UTF-8; the caption the button is built with
  std::string_view keyText;        // ASCII, appended exactly as written
  std::uint8_t unitGroup;          // item keys only; kNoUnitGroup elsewhere
};

// The class a code belongs to by its range (0-15, 21-88, 96-107, 112-113,
// 128-145); codes between and beyond the ranges are Outside.
KeyClass ClassOf(int keyCode);

// Every entry of the vocabulary, ordered by code. Codes without an entry
// (11, the gaps between classes, negatives, above 145) have no key text.
std::span<const KeyEntry> Vocabulary();

// The entry for a code, or nullptr when the code has none.
const KeyEntry* FindKey(int keyCode);

// The entry whose button has this object name, or nullptr.
const KeyEntry* FindKeyByButton(std::string_view button);

// The codes of one class that a button produces, in code order.
std::vector<int> ButtonKeys(KeyClass keyClass);

// The key text of a code; empty for a code without an entry. No side effects.
std::string_view KeyText(int keyCode);

}  // namespace zrt::compose
