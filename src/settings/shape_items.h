// The items that choose a waveform by themselves, without a value
// ("CHA:SQUAR"): the shape each is and the channel whose function has it.
// Other waveforms are numbers of the waveform items (AWAVE, BWAVE).
#pragma once

#include <span>
#include <string_view>

namespace zrt::settings {

enum class Shape { Sine, Square, Triangle, Ramp, Noise, Unknown };

struct ShapeItem {
  std::string_view mnemonic;
  Shape shape;
  char channel;  // 'A' or 'B'
};

inline constexpr ShapeItem kShapeItems[] = {
    {"SINE", Shape::Sine, 'A'},  {"SQUAR", Shape::Square, 'A'}, {"BTRIG", Shape::Triangle, 'B'},
    {"BRAMP", Shape::Ramp, 'B'}, {"BNOISE", Shape::Noise, 'B'},
};

// The shape item of that mnemonic, or nullptr.
inline const ShapeItem* FindShapeItem(std::string_view mnemonic) {
  for (const ShapeItem& item : kShapeItems) {
    if (item.mnemonic == mnemonic) return &item;
  }
  return nullptr;
}

}  // namespace zrt::settings
