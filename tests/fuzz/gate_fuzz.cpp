// The limits' gate against the simulated instrument: lines of any bytes go
// to the instrument only where the gate allows them, and whatever the
// instrument then holds is within the limits. The instrument reads each
// line with the gate's own reader, so a line the gate could not read whole
// must be one the instrument refuses.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "settings/limits.h"
#include "settings/units.h"
#include "sim/instrument_model.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

struct Held {
  const char* query;
  double most;  // in Hz or Vpp
  double perUnit;
};

// What the instrument may hold, by the limits below; asked of it directly.
constexpr Held kHeld[] = {
    {"CHA:AFREQ?", 1e6, 1},  {"CHB:BFREQ?", 1e3, 1},
    {"FSWP:STOPF?", 1e6, 1}, {"CHA:VPP?", 5, 1},
    {"CHB:VPP?", 1, 1},      {"FM:CARRA?", 5, 1},
    {"BBURST:CARRA?", 1, 1}, {"CHA:VRMS?", 5, zrt::settings::kPeakToPeakPerRms},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zrt::settings;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  Limits limits;
  limits.a = {1e6, 5, -2, 2};
  limits.b = {1e3, 1, std::nullopt, std::nullopt};
  InstrumentSettings known;
  zrt::sim::InstrumentModel instrument;
  std::string_view rest = input;
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    const std::string line(rest.substr(0, end));
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
    if (Check(limits, line, known)) continue;
    const std::string answer = instrument.Answer("X" + line);
    Require((answer == "ERROR\n") == (!ReadLine(line) && !line.empty()));
    known.RecordReply(line, answer);
  }
  for (const Held& held : kHeld) {
    const std::string answer = instrument.Answer(std::string("X") + held.query);
    const auto reading = ReadLine(held.query);
    const auto value = ReadValue(reading->itemCode, answer);
    Require(value.has_value());
    Require(std::fabs(value->number) * held.perUnit <= held.most * (1 + 1e-12));
  }
  return 0;
}
