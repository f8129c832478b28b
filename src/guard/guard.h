// The one guard between every source of lines and the instrument. It keeps
// what the instrument confirmed, and nothing else: a setting answered "OK",
// or a value read back. A setting the instrument answered otherwise, did
// not answer, or never had whole (the frame was cut) leaves its item
// unknown; so does a line still waiting for its answer. An unanswered
// question changes nothing. A line whose effect the guard cannot place (a
// recall, a reset, an attenuation, channel B's harmonic, a waveform by
// number, a line it cannot read) leaves what it knew of the channels it
// may touch unknown.
//
// A line is judged against the limits by the worst case over everything
// that may be on its channel's output:
//  - the band (offset plus and less half the amplitude) takes the largest
//    amplitude of any of the channel's amplitude items (the steady one in
//    Vpp or Vrms, the sweeps' start and stop, the modulations' carrier and
//    hop), with the line's own value in place of its item's;
//  - a frequency or an amplitude is held to its channel's highest;
//  - switching an output on holds every one of the channel's items to its
//    limits at once;
//  - Vrms becomes Vpp by the factor of the channel's confirmed shape (2√2
//    sine, 2 square, 2√3 triangle and ramp); a value confirmed before takes
//    the larger of the factors then and now, and 2√3 where the shape is not
//    known. A new Vrms value on a channel whose shape is not known, or is
//    noise, is refused under an amplitude or offset limit;
//  - a value outside its item's own domain is refused under any limit: a
//    negative frequency, period or amplitude, a duty cycle beyond 0 to
//    100 %, a phase beyond ±360°.
// What the judgement needs and is not known is named for reading back; a
// breach already certain from what is known is refused without asking.
// With no limits set, every line passes: the guard still keeps count.
#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "guard/breach.h"
#include "guard/guarded_items.h"
#include "guard/limits.h"
#include "settings/shape_items.h"

namespace zrt::guard {

struct Verdict {
  // Refused: the breach, and nothing to read back.
  // To be read back first (`readFirst`, "CHA:AOFFS" each, for a query line
  // of "?" after it): `breach` then names the first, should the instrument
  // not tell it.
  std::optional<LimitBreach> breach;
  std::vector<std::string> readFirst;
  bool Passes() const { return !breach; }
  bool Refused() const { return breach && readFirst.empty(); }
};

// Whether `line` switches an output on: the breach it would be after all
// outputs were switched off (OutputsOff, naming its channel), else nothing.
std::optional<LimitBreach> SwitchesOutputOn(std::string_view line);

// A value outside the item's own domain, whatever the limits say: the
// breach (BelowDomain or AboveDomain, naming "FUNCTION:ITEM"), else nothing.
std::optional<LimitBreach> OutOfDomain(Effect effect, std::string_view function,
                                       std::string_view item, double value);

class Guard {
 public:
  void SetLimits(const Limits& limits) { limits_ = limits; }
  const Limits& CurrentLimits() const { return limits_; }

  // Whether `line` may go now, with what is confirmed.
  Verdict Judge(std::string_view line) const;

  // `line` is going out: what it may change is unknown until Answered.
  void Sent(std::string_view line);
  // The reply to `line` has ended (empty: none came): a setting answered
  // "OK" and a value read back are confirmed.
  void Answered(std::string_view line, std::string_view reply);
  // The link reaches what may be another instrument: nothing is known.
  void Forget();

  // The value confirmed for an item, in its base unit.
  std::optional<double> Confirmed(std::string_view function, std::string_view item) const;

 private:
  struct Slot {
    double number = 0;
    double rmsFactor = 0;  // Vrms: the factor to Vpp when it was confirmed
  };
  using Key = std::pair<std::string, std::string>;
  std::size_t Index(char channel) const { return channel == 'B' ? 1 : 0; }
  settings::Shape ShapeOf(char channel) const { return shape_[Index(channel)]; }
  // The channel's worst case with one item's value (or its shape) in place.
  struct Change {
    std::string_view function;
    std::string_view item;
    Effect effect = Effect::None;
    double number = 0;
    std::optional<settings::Shape> shape;
  };
  Verdict JudgeChannel(char channel, const Change& change) const;
  void ForgetChannel(char channel);

  Limits limits_;
  std::map<Key, Slot, std::less<>> confirmed_;
  std::array<settings::Shape, 2> shape_{settings::Shape::Unknown, settings::Shape::Unknown};
};

}  // namespace zrt::guard
