// The guard against the simulated instrument: lines of any bytes go to the
// instrument only where the guard allows them, after the read backs it
// asks for, and whatever the instrument then holds is within the limits.
// The instrument reads each line with the guard's own reader, so a line
// the guard could not read whole must be one the instrument refuses.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "guard/guard.h"
#include "settings/line_reading.h"
#include "sim/instrument_model.h"

namespace {

using namespace zrt;

void Require(bool condition) {
  if (!condition) std::abort();
}

// The line to the instrument, and what the guard learns of its answer.
std::string Exchange(guard::Guard& guard, sim::InstrumentModel& instrument,
                     const std::string& line) {
  guard.Sent(line);
  const std::string answer = instrument.Answer("X" + line);
  guard.Answered(line, answer);
  return answer;
}

double Held(sim::InstrumentModel& instrument, const std::string& item) {
  const std::string query = item + "?";
  const auto value =
      settings::ReadValue(settings::ReadLine(query)->itemCode, instrument.Answer("X" + query));
  Require(value.has_value());
  return value->number;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  guard::Limits limits;
  limits.a = {1e6, 5, -2, 2};
  limits.b = {1e3, 1, std::nullopt, std::nullopt};
  guard::Guard guard;
  guard.SetLimits(limits);
  sim::InstrumentModel instrument;
  std::string_view rest = input;
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    const std::string line(rest.substr(0, end));
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
    guard::Verdict verdict = guard.Judge(line);
    if (!verdict.readFirst.empty()) {
      for (const std::string& item : verdict.readFirst) Exchange(guard, instrument, item + "?");
      verdict = guard.Judge(line);
    }
    if (!verdict.Passes()) continue;
    const std::string answer = Exchange(guard, instrument, line);
    Require((answer == "ERROR\n") == (!settings::ReadLine(line) && !line.empty()));
  }
  // What each channel may put out, asked of the instrument directly.
  for (const char channel : {'A', 'B'}) {
    const guard::ChannelLimits& of = limits.Of(channel);
    double widest = 0;
    for (const guard::OfferedItem& item : guard::ItemsOf(
             channel,
             {guard::Effect::Frequency, guard::Effect::Amplitude, guard::Effect::AmplitudeRms})) {
      const double value =
          Held(instrument, std::string(item.function) + ":" + std::string(item.item));
      if (item.effect == guard::Effect::Frequency) {
        Require(std::fabs(value) <= *of.maxFrequencyHz * (1 + 1e-12));
        continue;
      }
      // Of the shapes, a square has the least peak to peak per volt rms.
      const double vpp = item.effect == guard::Effect::AmplitudeRms ? value * 2 : value;
      Require(vpp >= 0 && vpp <= *of.maxAmplitudeVpp * (1 + 1e-12));
      widest = std::max(widest, vpp);
    }
    if (channel == 'A') {
      const double offset = Held(instrument, "CHA:AOFFS");
      Require(offset + widest / 2 <= *of.maxOffsetV + 1e-9);
      Require(offset - widest / 2 >= *of.minOffsetV - 1e-9);
    }
  }
  return 0;
}
