#include "settings/output_shape.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

#include "settings/units.h"

namespace zrt::settings {
namespace {

std::optional<double> Number(const InstrumentSettings& known, std::string_view function,
                             std::string_view item) {
  const Setting* setting = known.Find(function, item);
  const Value* value = setting ? setting->Fresh() : nullptr;
  return value ? std::optional(value->number) : std::nullopt;
}

unsigned long Changed(const InstrumentSettings& known, std::string_view function,
                      std::string_view item) {
  const Setting* setting = known.Find(function, item);
  return setting && setting->Fresh() ? setting->changed : 0;
}

Shape ShapeNamed(std::string_view mnemonic) {
  const ShapeItem* item = FindShapeItem(mnemonic);
  return item ? item->shape : Shape::Sine;
}

// A fixed hash of the sample's place: noise that looks the same each time.
double NoiseAt(double cycles) {
  auto bits = static_cast<std::uint64_t>(std::llround(cycles * 64.0));
  bits ^= bits >> 33;
  bits *= 0xff51afd7ed558ccdULL;
  bits ^= bits >> 33;
  return static_cast<double>(bits % 2001) / 1000.0 - 1.0;
}

}  // namespace

ChannelOutput OutputOf(const InstrumentSettings& known, char channel) {
  const bool a = channel == 'A';
  const std::string_view function = a ? "CHA" : "CHB";
  ChannelOutput out;
  out.channel = channel;
  out.frequency = Number(known, function, a ? "AFREQ" : "BFREQ");
  const auto frequencySet = Changed(known, function, a ? "AFREQ" : "BFREQ");
  if (const auto period = Number(known, function, a ? "APERD" : "BPERD");
      period && *period > 0 && Changed(known, function, a ? "APERD" : "BPERD") > frequencySet) {
    out.frequency = 1 / *period;
  }
  out.amplitude = Number(known, function, "VPP");
  if (const auto rms = Number(known, function, "VRMS");
      rms && Changed(known, function, "VRMS") > Changed(known, function, "VPP")) {
    out.amplitude = *rms * kPeakToPeakPerRms;
  }
  if (a) out.offset = Number(known, function, "AOFFS").value_or(0);
  out.duty = std::clamp(Number(known, function, a ? "ADUTY" : "BDUTY").value_or(50), 0.0, 100.0);
  out.phase = Number(known, function, "PHASE").value_or(0);
  out.on = Number(known, function, "SWITCH").value_or(1) != 0;
  // The later of a waveform's command and a waveform number decides.
  const std::string_view wave = a ? "AWAVE" : "BWAVE";
  const Setting* shape = known.Find(function, kShapeItem);
  if (shape && shape->Fresh() && shape->changed > Changed(known, function, wave)) {
    out.shape = ShapeNamed(shape->Fresh()->text);
  } else if (const Setting* number = known.Find(function, wave); number && number->Fresh()) {
    out.shape = Shape::Unknown;  // the instrument's numbering of its waveforms is its own
    out.wave = number->Fresh()->text;
  }
  return out;
}

double LevelAt(const ChannelOutput& output, double seconds) {
  if (!output.Drawable()) return 0;
  if (!output.on) return 0;
  const double half = std::fabs(*output.amplitude) / 2;
  double cycles = seconds * *output.frequency + output.phase / 360.0;
  const double place = cycles - std::floor(cycles);  // within the period, 0 to 1
  double level = 0;
  switch (output.shape) {
    case Shape::Sine:
    case Shape::Unknown:
      level = std::sin(2 * std::numbers::pi * place);
      break;
    case Shape::Square:
      level = place < output.duty / 100 ? 1 : -1;
      break;
    case Shape::Triangle:
      level = place < 0.5 ? 4 * place - 1 : 3 - 4 * place;
      break;
    case Shape::Ramp:
      level = 2 * place - 1;
      break;
    case Shape::Noise:
      level = NoiseAt(cycles);
      break;
  }
  return output.offset + half * level;
}

double SpanOf(const ChannelOutput& a, const ChannelOutput& b) {
  double slowest = 0;
  for (const ChannelOutput* output : {&a, &b}) {
    if (!output->frequency || *output->frequency <= 0) continue;
    slowest = slowest == 0 ? *output->frequency : std::min(slowest, *output->frequency);
  }
  return slowest > 0 ? 2 / slowest : 1e-3;
}

}  // namespace zrt::settings
