#include "scpi/counterparts.h"

#include <algorithm>

#include "compose/key_vocabulary.h"
#include "scpi/commands.h"
#include "scpi/instrument_lines.h"
#include "settings/shape_items.h"

namespace zrt::scpi {
namespace {

// A header as a person writes it for a channel: its optional parts left
// out, the channel's number in place of '#' (none for channel 1 where the
// number is optional).
std::string Written(std::string_view header, int channel) {
  std::string text;
  int depth = 0;
  bool optionalSource = false;
  for (std::size_t i = 0; i < header.size(); ++i) {
    const char c = header[i];
    if (c == '[') {
      // [SOURce#:] stays, with its channel; other optional nodes go.
      optionalSource = header.substr(i).starts_with("[SOURce#:]");
      if (!optionalSource) ++depth;
      continue;
    }
    if (c == ']') {
      if (!optionalSource) --depth;
      optionalSource = false;
      continue;
    }
    if (depth > 0) continue;
    if (c == '#') {
      text += std::to_string(channel);
      continue;
    }
    text += c;
  }
  return text;
}

}  // namespace

std::vector<std::string> Counterparts(std::string_view function, std::string_view item) {
  std::vector<std::string> found;
  auto add = [&](std::string text) {
    if (std::find(found.begin(), found.end(), text) == found.end()) found.push_back(text);
  };
  for (const Command command : Commands()) {
    const std::string_view header = HeaderOf(command);
    for (const int channel : {1, 2}) {
      const std::string_view own = channel == 2 ? "CHB" : "CHA";
      for (const auto unit : {AmplitudeUnit::Vpp, AmplitudeUnit::Vrms}) {
        if (unit == AmplitudeUnit::Vrms && command != Command::Amplitude) continue;
        const auto key = ItemKeyFor(command, channel, unit);
        if (key && function == own && compose::KeyText(*key) == item && command != Command::Shape) {
          add(Written(header, channel) +
              (unit == AmplitudeUnit::Vrms ? " (VOLTage:UNIT VRMS)" : ""));
        }
      }
      for (const std::string_view sweep : {"FSWP", "ASWP"}) {
        const auto placed = PlaceOf(command, channel, sweep);
        if (placed && placed->function == function && compose::KeyText(placed->itemKey) == item) {
          add(Written(header, channel));
        }
        const auto mode = ModeOf(command, channel, sweep);
        if (mode && mode->function == function && mode->item == item) {
          add(Written(header, channel) + (mode->asks ? " ON (asks it)" : " ON"));
        }
        if (command == Command::Trigger && function == sweep && item == "TRIGG") add("*TRG");
      }
    }
  }
  for (const settings::ShapeItem& shape : settings::kShapeItems) {
    if (shape.mnemonic != item || function != (shape.channel == 'B' ? "CHB" : "CHA")) continue;
    static constexpr std::string_view kNames[] = {"SINusoid", "SQUare", "TRIangle", "RAMP",
                                                  "NOISe"};
    const auto index = static_cast<std::size_t>(shape.shape);
    if (index < std::size(kNames)) {
      add(Written(HeaderOf(Command::Shape), shape.channel == 'B' ? 2 : 1) + " " +
          std::string(kNames[index]));
    }
  }
  if ((item == "AWAVE" && function == "CHA") || (item == "BWAVE" && function == "CHB")) {
    add(Written(HeaderOf(Command::Shape), function == "CHB" ? 2 : 1) +
        " (a shape numbered in [waveforms])");
  }
  if (item == "ONCES" && (function == "ABURST" || function == "BBURST")) add("*TRG");
  return found;
}

}  // namespace zrt::scpi
