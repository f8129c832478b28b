#include "scpi/basic_wave.h"

#include <algorithm>

#include "scpi/blanks.h"

namespace zrt::scpi {
namespace {

std::string Upper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return upper;
}

constexpr std::string_view kIdentity = "IDN-SGLT-PRI";

// BSWV's wave types beside SCPI's shapes.
struct WaveType {
  std::string_view waveType;
  std::string_view shape;
};
constexpr WaveType kWaveTypes[] = {
    {"SINE", "SIN"}, {"SQUARE", "SQU"}, {"RAMP", "RAMP"}, {"NOISE", "NOIS"}, {"ARB", "ARB"},
};

}  // namespace

bool IsBasicWave(std::string_view message) {
  const std::string upper = Upper(Trimmed(message).substr(0, kIdentity.size() + 1));
  if (upper.starts_with(kIdentity)) return true;
  return upper.size() >= 3 && upper[0] == 'C' && upper[1] >= '0' && upper[1] <= '9' &&
         (upper[2] == ':' || (upper[2] >= '0' && upper[2] <= '9'));
}

std::variant<std::vector<WaveUnit>, Error> CutBasicWave(std::string_view message) {
  std::vector<WaveUnit> units;
  int channel = 1;
  std::string_view rest = message;
  while (!rest.empty()) {
    const std::size_t end = rest.find(';');
    std::string_view text = Trimmed(rest.substr(0, end));
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (text.empty()) continue;
    WaveUnit unit;
    unit.written = std::string(text);
    // A channel prefix "Cn:" holds for the units after it too.
    if (const std::size_t colon = text.find(':');
        colon != std::string_view::npos && colon >= 2 && (text[0] == 'C' || text[0] == 'c')) {
      const std::string_view digits = text.substr(1, colon - 1);
      if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return Error{-113, "Undefined header"};
      }
      channel = std::stoi(std::string(digits));
      if (channel != 1 && channel != 2) return Error{-114, "Header suffix out of range"};
      text = text.substr(colon + 1);
    }
    unit.channel = channel;
    const std::size_t blank = text.find_first_of(" \t");
    std::string_view header = text.substr(0, blank);
    if (header.ends_with('?')) {
      unit.query = true;
      header.remove_suffix(1);
    }
    if (header.empty()) return Error{-113, "Undefined header"};
    unit.header = Upper(header);
    std::string_view arguments =
        blank == std::string_view::npos ? std::string_view() : Trimmed(text.substr(blank));
    while (!arguments.empty()) {
      const std::size_t comma = arguments.find(',');
      const std::string_view argument = Trimmed(arguments.substr(0, comma));
      if (argument.empty()) return Error{-109, "Missing parameter"};
      unit.arguments.push_back(Upper(argument));
      if (comma == std::string_view::npos) break;
      arguments = arguments.substr(comma + 1);
      if (Trimmed(arguments).empty()) return Error{-109, "Missing parameter"};
    }
    units.push_back(std::move(unit));
  }
  return units;
}

std::string_view ShapeOfWaveType(std::string_view waveType) {
  for (const WaveType& row : kWaveTypes) {
    if (row.waveType == waveType) return row.shape;
  }
  return {};
}

std::string_view WaveTypeOfShape(std::string_view shape) {
  for (const WaveType& row : kWaveTypes) {
    if (row.shape == shape) return row.waveType;
  }
  return {};
}

}  // namespace zrt::scpi
