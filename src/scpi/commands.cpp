#include "scpi/commands.h"

#include <algorithm>

#include "scpi/header_pattern.h"

namespace zrt::scpi {
namespace {

enum Forms : unsigned { kSet = 1, kQuery = 2, kBoth = kSet | kQuery };

struct Row {
  std::string_view header;
  Command command;
  unsigned forms;
  Quantity quantity = Quantity::None;
  Role role = Role::Other;
  std::string_view range = {};   // the range table's name, MIN and MAX from it
  std::string_view detail = {};  // APPLy's shape
};

using enum Quantity;
using enum Role;

// Where two rows could take the same header, the first wins: the table is
// in the order headers are tried.
constexpr Row kTable[] = {
    {"[SOURce#:]FREQuency:STARt", Command::FrequencyStart, kBoth, Frequency, Placed,
     "frequency_hz"},
    {"[SOURce#:]FREQuency:STOP", Command::FrequencyStop, kBoth, Frequency, Placed, "frequency_hz"},
    {"[SOURce#:]FREQuency[:CW|:FIXed]", Command::Frequency, kBoth, Frequency, Own, "frequency_hz"},
    {"[SOURce#:]VOLTage:UNIT", Command::VoltageUnit, kBoth},
    {"[SOURce#:]VOLTage:OFFSet", Command::Offset, kBoth, Voltage, Own, "offset_v"},
    {"[SOURce#:]VOLTage:STARt", Command::VoltageStart, kBoth, Amplitude, Placed, "amplitude_vpp"},
    {"[SOURce#:]VOLTage:STOP", Command::VoltageStop, kBoth, Amplitude, Placed, "amplitude_vpp"},
    {"[SOURce#:]VOLTage[:LEVel][:IMMediate][:AMPLitude]", Command::Amplitude, kBoth, Amplitude, Own,
     "amplitude_vpp"},
    {"[SOURce#:]PHASe[:ADJust]", Command::Phase, kBoth, Phase, Own, "phase_deg"},
    {"[SOURce#:]FUNCtion:SQUare:DCYCle", Command::DutyCycle, kBoth, Percent, Own, "duty_pct"},
    {"[SOURce#:]FUNCtion:PULSe:DCYCle", Command::DutyCycle, kBoth, Percent, Own, "duty_pct"},
    {"[SOURce#:]FUNCtion[:SHAPe]", Command::Shape, kBoth},
    {"OUTPut#[:STATe]", Command::Output, kBoth, Boolean, Own},
    {"[SOURce#:]APPLy:SINusoid", Command::Apply, kSet, None, Other, {}, "SIN"},
    {"[SOURce#:]APPLy:SQUare", Command::Apply, kSet, None, Other, {}, "SQU"},
    {"[SOURce#:]APPLy:TRIangle", Command::Apply, kSet, None, Other, {}, "TRI"},
    {"[SOURce#:]APPLy:RAMP", Command::Apply, kSet, None, Other, {}, "RAMP"},
    {"[SOURce#:]APPLy:NOISe", Command::Apply, kSet, None, Other, {}, "NOIS"},
    {"[SOURce#:]APPLy", Command::Apply, kQuery},
    {"MEASure[:SCALar]:FREQuency", Command::MeasureFrequency, kQuery},
    {"FETCh[:SCALar][:FREQuency]", Command::MeasureFrequency, kQuery},
    {"[SOURce#:]SWEep:STATe", Command::SweepState, kBoth, Boolean, State},
    {"[SOURce#:]SWEep:TIME", Command::SweepTime, kBoth, Time, Placed},
    {"[SOURce#:]BURSt:STATe", Command::BurstState, kBoth, Boolean, State},
    {"[SOURce#:]BURSt:NCYCles", Command::BurstCycles, kBoth, Count, Placed},
    {"TRIGger[:SEQuence][:IMMediate]", Command::Trigger, kSet},
    {"[SOURce#:]FM:STATe", Command::FmState, kBoth, Boolean, State},
    {"[SOURce#:]FM:DEViation", Command::FmDeviation, kBoth, Percent, Placed},
    {"[SOURce#:]FM:INTernal:FREQuency", Command::FmFrequency, kBoth, Frequency, Placed},
    {"[SOURce#:]FSKey:STATe", Command::FskState, kBoth, Boolean, State},
    {"[SOURce#:]FSKey[:FREQuency]", Command::FskFrequency, kBoth, Frequency, Placed,
     "frequency_hz"},
    {"[SOURce#:]FSKey:INTernal:RATE", Command::FskRate, kBoth, Rate, Placed},
    {"[SOURce#:]ASKey:STATe", Command::AskState, kBoth, Boolean, State},
    {"[SOURce#:]ASKey[:AMPLitude]", Command::AskAmplitude, kBoth, Amplitude, Placed,
     "amplitude_vpp"},
    {"[SOURce#:]ASKey:INTernal:RATE", Command::AskRate, kBoth, Rate, Placed},
    {"[SOURce#:]PSKey:STATe", Command::PskState, kBoth, Boolean, State},
    {"[SOURce#:]PSKey[:PHASe]", Command::PskPhase, kBoth, Phase, Placed, "phase_deg"},
    {"[SOURce#:]PSKey:INTernal:RATE", Command::PskRate, kBoth, Rate, Placed},
    {"SYSTem:ERRor[:NEXT]", Command::ErrorNext, kQuery},
    {"SYSTem:ERRor:COUNt", Command::ErrorCount, kQuery},
    {"SYSTem:VERSion", Command::Version, kQuery},
    {"*IDN", Command::Identify, kQuery},
    {"*RST", Command::Reset, kSet},
    {"*CLS", Command::ClearStatus, kSet},
    {"*OPC", Command::OperationComplete, kBoth},
    {"*WAI", Command::Wait, kSet},
    {"*ESR", Command::EventStatus, kQuery},
    {"*ESE", Command::EventStatusEnable, kBoth},
    {"*STB", Command::StatusByte, kQuery},
    {"*TRG", Command::Trigger, kSet},
};

// The first row of a command: the one its header, quantity and role come from.
const Row* RowOf(Command command) {
  for (const Row& row : kTable) {
    if (row.command == command) return &row;
  }
  return nullptr;
}

bool SameWord(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    if (upper(a[i]) != upper(b[i])) return false;
  }
  return true;
}

}  // namespace

std::variant<Named, Error> NameCommand(const ProgramUnit& unit) {
  const Error undefined{-113, "Undefined header"};
  for (const Row& row : kTable) {
    std::optional<HeaderMatch> match;
    if (unit.common) {
      if (row.header.starts_with('*') && SameWord(row.header, unit.nodes.front())) match.emplace();
    } else if (!row.header.starts_with('*')) {
      match = MatchHeader(row.header, unit.nodes);
    }
    if (!match) continue;
    if (!(row.forms & (unit.query ? kQuery : kSet))) return undefined;
    if (match->channel != 1 && match->channel != 2) {
      return Error{-114, "Header suffix out of range"};
    }
    return Named{row.command, match->channel, unit.query, row.quantity, row.detail};
  }
  return undefined;
}

std::string_view HeaderOf(Command command) {
  const Row* row = RowOf(command);
  return row ? row->header : std::string_view();
}

std::vector<Command> Commands() {
  std::vector<Command> commands;
  for (const Row& row : kTable) {
    if (std::find(commands.begin(), commands.end(), row.command) == commands.end()) {
      commands.push_back(row.command);
    }
  }
  return commands;
}

Quantity QuantityOf(Command command) {
  const Row* row = RowOf(command);
  return row ? row->quantity : Quantity::None;
}

Role RoleOf(Command command) {
  const Row* row = RowOf(command);
  return row ? row->role : Role::Other;
}

std::string_view RangeOf(Command command) {
  const Row* row = RowOf(command);
  return row ? row->range : std::string_view();
}

}  // namespace zrt::scpi
