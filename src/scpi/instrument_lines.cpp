#include "scpi/instrument_lines.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "compose/availability.h"
#include "compose/key_vocabulary.h"
#include "settings/line_reading.h"
#include "settings/units.h"

namespace zrt::scpi {
namespace {

// The key of a class that appends `text`, or -1.
int KeyWithText(compose::KeyClass keyClass, std::string_view text) {
  for (const compose::KeyEntry& key : compose::Vocabulary()) {
    if (key.keyText == text && compose::ClassOf(key.code) == keyClass) return key.code;
  }
  return -1;
}

// The function keys of the two channels, by their key text.
int FunctionKey(int channel) {
  return KeyWithText(compose::KeyClass::Function, channel == 2 ? "CHB" : "CHA");
}

std::string_view Symbol(std::string_view text) {
  return compose::KeyText(KeyWithText(compose::KeyClass::Symbol, text));
}

// The item mnemonics each setting may become, whichever the channel's
// function offers.
struct ItemsOf {
  Command command;
  AmplitudeUnit amplitude;  // counts for Command::Amplitude only
  std::array<std::string_view, 2> mnemonics;
};
constexpr ItemsOf kItems[] = {
    {Command::Frequency, AmplitudeUnit::Vpp, {"AFREQ", "BFREQ"}},
    {Command::Amplitude, AmplitudeUnit::Vpp, {"VPP"}},
    {Command::Amplitude, AmplitudeUnit::Vrms, {"VRMS"}},
    {Command::Offset, AmplitudeUnit::Vpp, {"AOFFS"}},
    {Command::Phase, AmplitudeUnit::Vpp, {"PHASE"}},
    {Command::DutyCycle, AmplitudeUnit::Vpp, {"ADUTY", "BDUTY"}},
    {Command::Output, AmplitudeUnit::Vpp, {"SWITCH"}},
    {Command::Shape, AmplitudeUnit::Vpp, {"AWAVE", "BWAVE"}},
};

// The unit key text a group's values are written in: its unit worth one.
std::string_view BaseUnitKey(std::uint8_t group) {
  for (const settings::Unit& unit : settings::Units()) {
    if (unit.group == group && unit.factor == 1) return unit.text;
  }
  return {};
}

}  // namespace

std::optional<int> ItemKeyFor(Command command, int channel, AmplitudeUnit amplitude) {
  if (command != Command::Amplitude) amplitude = AmplitudeUnit::Vpp;
  for (const ItemsOf& row : kItems) {
    if (row.command != command || row.amplitude != amplitude) continue;
    for (int item : compose::ItemsForFunction(FunctionKey(channel))) {
      const std::string_view text = compose::KeyText(item);
      if (std::find(row.mnemonics.begin(), row.mnemonics.end(), text) != row.mnemonics.end()) {
        return item;
      }
    }
  }
  return std::nullopt;
}

std::optional<std::string> SetLine(std::string_view address, int channel, int itemKey,
                                   double value) {
  return SetLineIn(address, compose::KeyText(FunctionKey(channel)), itemKey, value);
}

std::optional<std::string> SetLineIn(std::string_view address, std::string_view function,
                                     int itemKey, double value) {
  const compose::KeyEntry* item = compose::FindKey(itemKey);
  if (!item || !std::isfinite(value)) return std::nullopt;
  // A value scaled by a suffix carries the scaling's rounding (-700 mV is
  // -0.7000000000000001 V): written as it was meant.
  const auto digits = settings::WriteNumber(value, settings::Notation::Fixed);
  // No more digits than the instrument's lines are read with.
  if (!digits || std::count_if(digits->begin(), digits->end(), [](char c) {
                   return c >= '0' && c <= '9';
                 }) > static_cast<std::ptrdiff_t>(settings::kMostDigits)) {
    return std::nullopt;
  }
  std::string line = ItemLineIn(address, function, item->keyText);
  line += *digits;
  line += BaseUnitKey(item->unitGroup);
  return line;
}

std::string QueryLine(std::string_view address, int channel, int itemKey) {
  return QueryLineIn(address, compose::KeyText(FunctionKey(channel)), itemKey);
}

std::string ItemLine(std::string_view address, int channel, std::string_view mnemonic) {
  return ItemLineIn(address, compose::KeyText(FunctionKey(channel)), mnemonic);
}

std::optional<int> ItemKeyIn(std::string_view function, std::string_view mnemonic) {
  const int key = KeyWithText(compose::KeyClass::Function, function);
  if (key < 0) return std::nullopt;
  for (int item : compose::ItemsForFunction(key)) {
    if (compose::KeyText(item) == mnemonic) return item;
  }
  return std::nullopt;
}

std::string QueryLineIn(std::string_view address, std::string_view function, int itemKey) {
  return ItemLineIn(address, function, compose::KeyText(itemKey)) + std::string(Symbol("?"));
}

std::string ItemLineIn(std::string_view address, std::string_view function,
                       std::string_view mnemonic) {
  std::string line(address);
  line += function;
  line += Symbol(":");
  line += mnemonic;
  return line;
}

namespace {

// "" where the channel has none; "*" for the sweep in use.
struct PlacedRow {
  Command command;
  std::array<std::string_view, 2> functions;  // by channel
  std::string_view item;
  bool reciprocal = false;
};
constexpr PlacedRow kPlaced[] = {
    {Command::FrequencyStart, {"FSWP", ""}, "STARF"},
    {Command::FrequencyStop, {"FSWP", ""}, "STOPF"},
    {Command::SweepTime, {"*", ""}, "INTVL"},
    {Command::VoltageStart, {"ASWP", ""}, "STARA"},
    {Command::VoltageStop, {"ASWP", ""}, "STOPA"},
    {Command::BurstCycles, {"ABURST", "BBURST"}, "NCYCL"},
    {Command::FmDeviation, {"FM", ""}, "DEVIA"},
    {Command::FmFrequency, {"FM", ""}, "MODUF"},
    {Command::FskFrequency, {"FSK", ""}, "HOPF"},
    {Command::FskRate, {"FSK", ""}, "INTVL", true},
    {Command::AskAmplitude, {"ASK", ""}, "HOPA"},
    {Command::AskRate, {"ASK", ""}, "INTVL", true},
    {Command::PskPhase, {"PSK", ""}, "HOPP"},
    {Command::PskRate, {"PSK", ""}, "INTVL", true},
    {Command::MeasureFrequency, {"COUNT", "COUNT"}, "MEASF"},
};

struct ModeRow {
  Command command;
  std::array<std::string_view, 2> functions;
  std::string_view item;
  bool asks;
};
constexpr ModeRow kModes[] = {
    {Command::SweepState, {"*", ""}, "AUTO", false},
    {Command::BurstState, {"ABURST", "BBURST"}, "NCYCL", true},
    {Command::FmState, {"FM", ""}, "MODUF", true},
    {Command::FskState, {"FSK", ""}, "HOPF", true},
    {Command::AskState, {"ASK", ""}, "HOPA", true},
    {Command::PskState, {"PSK", ""}, "HOPP", true},
};

std::string_view FunctionFor(std::array<std::string_view, 2> functions, int channel,
                             std::string_view sweep) {
  const std::string_view function = functions[channel == 2 ? 1 : 0];
  return function == "*" ? sweep : function;
}

}  // namespace

std::optional<Placed> PlaceOf(Command command, int channel, std::string_view sweep) {
  for (const PlacedRow& row : kPlaced) {
    if (row.command != command) continue;
    const std::string_view function = FunctionFor(row.functions, channel, sweep);
    if (function.empty()) return std::nullopt;
    if (const auto item = ItemKeyIn(function, row.item)) {
      return Placed{function, *item, row.reciprocal};
    }
    return std::nullopt;
  }
  return std::nullopt;
}

std::optional<Mode> ModeOf(Command command, int channel, std::string_view sweep) {
  for (const ModeRow& row : kModes) {
    if (row.command != command) continue;
    const std::string_view function = FunctionFor(row.functions, channel, sweep);
    if (function.empty() || !ItemKeyIn(function, row.item)) return std::nullopt;
    return Mode{function, row.item, row.asks};
  }
  return std::nullopt;
}

std::string ChannelAgain(std::string_view address, int channel) {
  return QueryLine(address, channel, *ItemKeyFor(Command::Frequency, channel));
}

}  // namespace zrt::scpi
