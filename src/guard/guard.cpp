#include "guard/guard.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "settings/instrument_settings.h"
#include "settings/line_reading.h"

namespace zrt::guard {
namespace {

using settings::Shape;

// Peak to peak per volt rms, by shape.
constexpr double kSine = 2.8284271247461903;      // 2√2
constexpr double kTriangle = 3.4641016151377544;  // 2√3: the largest of the periodic shapes

std::optional<double> RmsFactor(Shape shape) {
  switch (shape) {
    case Shape::Sine:
      return kSine;
    case Shape::Square:
      return 2.0;
    case Shape::Triangle:
    case Shape::Ramp:
      return kTriangle;
    case Shape::Noise:
    case Shape::Unknown:
      break;
  }
  return std::nullopt;
}

bool SlotEffect(Effect effect) {
  switch (effect) {
    case Effect::Frequency:
    case Effect::Period:
    case Effect::Amplitude:
    case Effect::AmplitudeRms:
    case Effect::Offset:
      return true;
    default:
      return false;
  }
}

// The frequency a frequency or period item's value comes to.
double FrequencyOf(Effect effect, double number) {
  if (effect == Effect::Frequency) return number;
  return number == 0 ? std::numeric_limits<double>::infinity() : 1 / number;
}

// Of the lines that cannot be read, only a question without a number
// cannot set anything, however the instrument reads it.
bool OnlyAsks(std::string_view line) {
  std::size_t at = 0;
  while (at < line.size() && line[at] >= '0' && line[at] <= '9') ++at;  // the address
  const std::string_view rest = line.substr(at);
  return rest.ends_with('?') &&
         std::ranges::none_of(rest, [](char c) { return c >= '0' && c <= '9'; });
}

// The channels a reading touches: its item's, else its function's, else both.
std::vector<char> ChannelsOf(const settings::LineReading& reading) {
  char channel = ChannelOf(reading.function);
  if (const GuardedItem* row = FindItem(reading.function, reading.item)) {
    channel = ChannelOf(*row, reading.function);
  } else if (const settings::ShapeItem* shape = settings::FindShapeItem(reading.item)) {
    channel = shape->channel;
  }
  if (channel) return {channel};
  return {'A', 'B'};
}

std::string Named(std::string_view function, std::string_view item) {
  return std::string(function).append(":").append(item);
}

}  // namespace

std::optional<LimitBreach> OutOfDomain(Effect effect, std::string_view function,
                                       std::string_view item, double value) {
  struct Domain {
    Effect effect;
    double low;
    double high;
    const char* unit;
  };
  constexpr double kAny = std::numeric_limits<double>::infinity();
  static constexpr Domain kDomains[] = {
      {Effect::Frequency, 0, kAny, "Hz"},  {Effect::Period, 0, kAny, "s"},
      {Effect::Amplitude, 0, kAny, "Vpp"}, {Effect::AmplitudeRms, 0, kAny, "Vrms"},
      {Effect::Duty, 0, 100, "%"},         {Effect::Phase, -360, 360, "DEG"},
  };
  const auto domain =
      std::ranges::find_if(kDomains, [effect](const Domain& d) { return d.effect == effect; });
  if (domain == std::end(kDomains) || (value >= domain->low && value <= domain->high)) {
    return std::nullopt;
  }
  const bool below = value < domain->low;
  return LimitBreach{{},
                     0,
                     below ? Limit::BelowDomain : Limit::AboveDomain,
                     below ? domain->low : domain->high,
                     value,
                     Named(function, item),
                     domain->unit};
}

std::optional<LimitBreach> SwitchesOutputOn(std::string_view line) {
  const auto reading = settings::ReadLine(line);
  if (!reading || !reading->value || reading->value->number == 0) return std::nullopt;
  const GuardedItem* row = FindItem(reading->function, reading->item);
  if (!row || row->effect != Effect::Output) return std::nullopt;
  return LimitBreach{
      std::string(line), ChannelsOf(*reading).front(), Limit::OutputsOff, 0, 0, {}, {}};
}

Verdict Guard::Judge(std::string_view line) const {
  if (!limits_.Any()) return {};
  auto read = settings::ReadWhole(line);
  if (auto* unread = std::get_if<settings::Unread>(&read)) {
    if (OnlyAsks(line)) return {};
    return {LimitBreach{std::string(line), 0, Limit::Unreadable, 0, 0, std::move(unread->from), {}},
            {}};
  }
  const settings::LineReading& reading = std::get<settings::LineReading>(read);
  if (reading.query) return {};
  Change change{reading.function, reading.item, Effect::None, 0, std::nullopt};
  if (reading.value) {
    const GuardedItem* row = FindItem(reading.function, reading.item);
    if (!row) return {};  // goes, and leaves its channels unknown
    change.effect = row->effect;
    change.number = reading.value->number;
    // A waveform by number may be any shape: an amplitude in Vrms the widest.
    if (row->effect == Effect::Waveform) change.shape = Shape::Unknown;
    if (auto breach = OutOfDomain(row->effect, reading.function, reading.item, change.number)) {
      breach->line = std::string(line);
      breach->channel = ChannelsOf(reading).front();
      return {std::move(breach), {}};
    }
  } else if (const settings::ShapeItem* shape = settings::FindShapeItem(reading.item)) {
    change.shape = shape->shape;
  } else {
    return {};
  }
  Verdict verdict;
  for (const char channel : ChannelsOf(reading)) {
    Verdict one = JudgeChannel(channel, change);
    if (one.Refused()) {
      one.breach->line = std::string(line);
      return one;
    }
    for (std::string& item : one.readFirst) {
      if (std::ranges::find(verdict.readFirst, item) == verdict.readFirst.end()) {
        verdict.readFirst.push_back(std::move(item));
      }
    }
    if (!verdict.breach && one.breach) verdict.breach = std::move(one.breach);
  }
  if (verdict.breach) verdict.breach->line = std::string(line);
  return verdict;
}

Verdict Guard::JudgeChannel(char channel, const Change& change) const {
  const ChannelLimits& limits = limits_.Of(channel);
  Verdict verdict;
  const auto refuse = [&](Limit limit, double bound, double value) {
    return Verdict{LimitBreach{{}, channel, limit, bound, value, {}, {}}, {}};
  };
  const auto unknown = [&](std::string_view function, std::string_view item) {
    verdict.readFirst.push_back(Named(function, item));
    if (!verdict.breach) {
      verdict.breach = LimitBreach{{}, channel, Limit::Unknown, 0, 0, Named(function, item), {}};
    }
  };
  const Shape shape = change.shape.value_or(ShapeOf(channel));
  const bool switchOn = change.effect == Effect::Output && change.number != 0;
  const bool amplitudeLimited = limits.maxAmplitudeVpp || limits.Banded();

  // The line's own value.
  double ownVpp = 0;
  switch (change.effect) {
    case Effect::Frequency:
    case Effect::Period:
      if (const double hz = FrequencyOf(change.effect, change.number);
          limits.maxFrequencyHz && hz > *limits.maxFrequencyHz) {
        return refuse(Limit::MaxFrequency, *limits.maxFrequencyHz, hz);
      }
      return {};
    case Effect::AmplitudeRms:
      if (!amplitudeLimited) return {};
      if (!RmsFactor(shape)) return refuse(Limit::RmsWithoutShape, 0, change.number);
      ownVpp = change.number * *RmsFactor(shape);
      break;
    case Effect::Amplitude:
      ownVpp = change.number;
      break;
    case Effect::Offset:
      if (!limits.Banded()) return {};
      break;
    case Effect::Output:
      if (!switchOn) return {};
      break;
    default:
      if (!change.shape || !amplitudeLimited) return {};
      break;
  }
  if (limits.maxAmplitudeVpp && ownVpp > *limits.maxAmplitudeVpp) {
    return refuse(Limit::MaxAmplitude, *limits.maxAmplitudeVpp, ownVpp);
  }
  const bool ownIsAmplitude =
      change.effect == Effect::Amplitude || change.effect == Effect::AmplitudeRms;
  if (ownIsAmplitude && !limits.Banded()) return {};

  // Switching on: every frequency as well.
  if (switchOn && limits.maxFrequencyHz) {
    for (const OfferedItem& item : ItemsOf(channel, {Effect::Frequency, Effect::Period})) {
      const auto known = Confirmed(item.function, item.item);
      if (!known) {
        unknown(item.function, item.item);
        continue;
      }
      if (const double hz = FrequencyOf(item.effect, *known); hz > *limits.maxFrequencyHz) {
        return refuse(Limit::MaxFrequency, *limits.maxFrequencyHz, hz);
      }
    }
  }
  if (!amplitudeLimited) return verdict;

  // The largest amplitude the channel may put out.
  double worst = ownIsAmplitude ? ownVpp : 0;
  for (const OfferedItem& item : ItemsOf(channel, {Effect::Amplitude, Effect::AmplitudeRms})) {
    if (ownIsAmplitude && item.function == change.function && item.item == change.item) continue;
    const auto found = confirmed_.find(Key{item.function, item.item});
    if (found == confirmed_.end()) {
      unknown(item.function, item.item);
      continue;
    }
    double vpp = found->second.number;
    if (item.effect == Effect::AmplitudeRms) {
      vpp *= std::max(found->second.rmsFactor, RmsFactor(shape).value_or(kTriangle));
    }
    if (limits.maxAmplitudeVpp && vpp > *limits.maxAmplitudeVpp) {
      return refuse(Limit::MaxAmplitude, *limits.maxAmplitudeVpp, vpp);
    }
    worst = std::max(worst, vpp);
  }
  if (!limits.Banded()) return verdict;

  // Channel B has no offset of its own.
  std::optional<double> offset = channel == 'B' ? std::optional(0.0) : std::nullopt;
  if (change.effect == Effect::Offset) {
    offset = change.number;
  } else if (channel == 'A') {
    offset = Confirmed("CHA", "AOFFS");
    if (!offset) unknown("CHA", "AOFFS");
  }
  if (offset) {
    // A breach with what is known stands, whatever the unknown adds.
    const double high = *offset + worst / 2;
    const double low = *offset - worst / 2;
    if (limits.maxOffsetV && high > *limits.maxOffsetV) {
      return refuse(Limit::MaxOffset, *limits.maxOffsetV, high);
    }
    if (limits.minOffsetV && low < *limits.minOffsetV) {
      return refuse(Limit::MinOffset, *limits.minOffsetV, low);
    }
  }
  return verdict;
}

void Guard::Sent(std::string_view line) {
  const auto reading = settings::ReadLine(line);
  if (!reading) {
    if (!OnlyAsks(line)) Forget();  // whatever the instrument made of it
    return;
  }
  if (reading->query) return;
  const GuardedItem* row = FindItem(reading->function, reading->item);
  // An item under a function that does not offer it: whatever it does is
  // nothing the guard can place.
  if (row && SlotEffect(row->effect) && Offered(reading->function, reading->item)) {
    confirmed_.erase(Key{reading->function, reading->item});
    return;
  }
  if (const settings::ShapeItem* shape = settings::FindShapeItem(reading->item);
      shape && !reading->value) {
    shape_[Index(shape->channel)] = Shape::Unknown;
    return;
  }
  if (row && row->effect == Effect::Waveform) {
    for (const char channel : ChannelsOf(*reading)) shape_[Index(channel)] = Shape::Unknown;
    return;
  }
  if (row && !SlotEffect(row->effect)) return;  // nothing the limits look at, or only itself
  for (const char channel : ChannelsOf(*reading)) ForgetChannel(channel);
}

void Guard::Answered(std::string_view line, std::string_view reply) {
  const auto reading = settings::ReadLine(line);
  if (!reading) return;
  const GuardedItem* row = FindItem(reading->function, reading->item);
  if (reading->query) {
    if (!row || !SlotEffect(row->effect)) return;
    const auto value = settings::ReadValue(reading->itemCode, reply);
    if (!value) return;  // no answer, or none that is a value: nothing changes
    Slot slot{value->number, 0};
    if (row->effect == Effect::AmplitudeRms) {
      slot.rmsFactor = RmsFactor(ShapeOf(ChannelsOf(*reading).front())).value_or(kTriangle);
    }
    confirmed_.insert_or_assign(Key{reading->function, reading->item}, slot);
    return;
  }
  if (!settings::Acknowledges(reply)) return;  // left unknown when it went out
  if (row && SlotEffect(row->effect) && reading->value) {
    Slot slot{reading->value->number, 0};
    if (row->effect == Effect::AmplitudeRms) {
      slot.rmsFactor = RmsFactor(ShapeOf(ChannelsOf(*reading).front())).value_or(kTriangle);
    }
    confirmed_.insert_or_assign(Key{reading->function, reading->item}, slot);
    return;
  }
  if (const settings::ShapeItem* shape = settings::FindShapeItem(reading->item);
      shape && !reading->value) {
    shape_[Index(shape->channel)] = shape->shape;
  }
}

void Guard::Forget() {
  confirmed_.clear();
  shape_.fill(Shape::Unknown);
}

void Guard::ForgetChannel(char channel) {
  std::erase_if(confirmed_, [&](const auto& entry) {
    const GuardedItem* row = FindItem(entry.first.first, entry.first.second);
    const char of = row ? ChannelOf(*row, entry.first.first) : 0;
    return !of || of == channel;
  });
  shape_[Index(channel)] = Shape::Unknown;
}

std::optional<double> Guard::Confirmed(std::string_view function, std::string_view item) const {
  const auto found = confirmed_.find(Key{function, item});
  if (found == confirmed_.end()) return std::nullopt;
  return found->second.number;
}

}  // namespace zrt::guard
