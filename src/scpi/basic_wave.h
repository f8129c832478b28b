// The basic-wave dialect bench oscilloscopes drive a generator in for their
// Bode plots: "IDN-SGLT-PRI?", "C1:BSWV WVTP,SINE,FRQ,1000,AMP,2", "C1:BSWV?",
// "C1:OUTP ON", "C1:OUTP LOAD,50", and such units joined by ';' after one
// channel prefix ("C1:OUTP LOAD,50;BSWV FRQ,10;OUTP ON"). Its headers do
// not collide with SCPI's, so a message is read as one or the other by its
// start. C1 is channel A, C2 channel B.
#pragma once

#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "scpi/message.h"

namespace zrt::scpi {

// Whether `message` is in the dialect.
bool IsBasicWave(std::string_view message);

struct WaveUnit {
  int channel = 1;     // as the prefix last given says
  std::string header;  // "BSWV", "OUTP", "IDN-SGLT-PRI", in upper case
  bool query = false;
  std::vector<std::string> arguments;  // split at commas, trimmed
  std::string written;                 // as the client wrote it, for the log
};

// The units of a message in the dialect. Errors: -113 for a unit without
// a header, -114 for a channel other than 1 or 2, -109 for an empty
// argument.
std::variant<std::vector<WaveUnit>, Error> CutBasicWave(std::string_view message);

// What BSWV's wave types are as SCPI's shapes ("SINE" is "SIN"); empty for
// one SCPI has no word for.
std::string_view ShapeOfWaveType(std::string_view waveType);
// And back: "SIN" is "SINE".
std::string_view WaveTypeOfShape(std::string_view shape);

}  // namespace zrt::scpi
