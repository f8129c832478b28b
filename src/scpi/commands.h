// The SCPI commands the shared instrument answers: the common
// function-generator subset and the IEEE 488.2 common commands, each with
// the forms it takes (set, query or both), as one table.
#pragma once

#include <string_view>
#include <variant>
#include <vector>

#include "scpi/message.h"

namespace zrt::scpi {

enum class Command {
  Frequency,
  Amplitude,
  VoltageUnit,
  Offset,
  Phase,
  Shape,
  DutyCycle,
  Output,
  Identify,
  Reset,
  ClearStatus,
  OperationComplete,
  Wait,
  EventStatus,
  EventStatusEnable,
  StatusByte,
  ErrorNext,
  ErrorCount,
  Version,
  // What scripts drive a generator with beyond the basic settings.
  Apply,             // APPLy:<shape> f,a,o and APPLy?
  MeasureFrequency,  // MEASure:FREQuency?, FETCh?: the counter
  SweepState,
  SweepTime,
  FrequencyStart,
  FrequencyStop,
  VoltageStart,  // the amplitude sweep's
  VoltageStop,
  BurstState,
  BurstCycles,
  Trigger,  // *TRG, TRIGger[:IMMediate]
  FmState,
  FmDeviation,
  FmFrequency,
  FskState,
  FskFrequency,
  FskRate,
  AskState,
  AskAmplitude,
  AskRate,
  PskState,
  PskPhase,
  PskRate,
  // The basic-wave dialect's answers (basic_wave.h): no SCPI header.
  WaveIdentity,  // IDN-SGLT-PRI?
  WaveSettings,  // Cn:BSWV?
};

// What a command's parameter is, for its suffixes.
enum class Quantity {
  None,
  Frequency,
  Amplitude,
  Voltage,
  Phase,
  Percent,
  Time,
  Rate,
  Count,
  Boolean
};

// What a command does with the instrument.
enum class Role {
  Own,     // sets or asks an item of the channel's own function
  Placed,  // sets or asks an item of another function (PlaceOf)
  State,   // turns a function on or off (ModeOf)
  Other,   // answered here, or work of its own
};

struct Named {
  Command command;
  int channel;  // 1 (channel A) or 2 (channel B); 1 where the header has none
  bool query;
  Quantity quantity = Quantity::None;
  std::string_view detail = {};  // APPLy's shape, as FUNC? answers it
};

// The command a unit's header names. Errors: -113 "Undefined header" (no
// such header, or a form it does not take), -114 "Header suffix out of
// range" (a channel other than 1 or 2).
std::variant<Named, Error> NameCommand(const ProgramUnit& unit);
// What a command's parameter is, and what it does.
Quantity QuantityOf(Command command);
Role RoleOf(Command command);
// The range table's name for what it sets ("frequency_hz"), or empty.
std::string_view RangeOf(Command command);
// The header a command is written with ("[SOURce#:]FREQuency[:CW|:FIXed]",
// '#' standing for the channel's number), its first where it has several.
std::string_view HeaderOf(Command command);
// Every command, in the table's order.
std::vector<Command> Commands();

}  // namespace zrt::scpi
