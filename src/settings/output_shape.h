// What each channel puts out, as far as the known settings tell: its
// frequency, amplitude, offset, duty cycle, phase, waveform and whether its
// output is on; and its level at a moment, for drawing it.
#pragma once

#include <optional>
#include <string>

#include "settings/instrument_settings.h"
#include "settings/shape_items.h"

namespace zrt::settings {

struct ChannelOutput {
  char channel = 'A';
  std::optional<double> frequency;  // Hz
  std::optional<double> amplitude;  // Vpp
  double offset = 0;                // V
  double duty = 50;                 // %, for a square
  double phase = 0;                 // degrees
  Shape shape = Shape::Sine;        // a sine unless a waveform is known
  std::string wave;                 // the waveform's value when its shape is not known
  bool on = true;                   // an output switched off is flat

  // Both frequency and amplitude known: it can be drawn (at 0 Hz, as a
  // level).
  bool Drawable() const { return frequency && amplitude && *frequency >= 0; }
};

// Channel A ('A') or B ('B') from the settings of its single-frequency
// function (CHA or CHB).
ChannelOutput OutputOf(const InstrumentSettings& known, char channel);

// Its level in volts `seconds` after the common start: 0 while it cannot be
// drawn or is switched off.
double LevelAt(const ChannelOutput& output, double seconds);

// The time both are drawn over: two periods of the slower channel (1 ms
// when neither frequency is known).
double SpanOf(const ChannelOutput& a, const ChannelOutput& b);

}  // namespace zrt::settings
