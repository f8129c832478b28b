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
  std::string_view detail = {};
};

using enum Quantity;

// Where two rows could take the same header, the first wins: the table is
// in the order headers are tried.
constexpr Row kTable[] = {
    {"[SOURce#:]FREQuency:STARt", Command::FrequencyStart, kBoth, Frequency},
    {"[SOURce#:]FREQuency:STOP", Command::FrequencyStop, kBoth, Frequency},
    {"[SOURce#:]FREQuency[:CW|:FIXed]", Command::Frequency, kBoth, Frequency},
    {"[SOURce#:]VOLTage:UNIT", Command::VoltageUnit, kBoth},
    {"[SOURce#:]VOLTage:OFFSet", Command::Offset, kBoth, Voltage},
    {"[SOURce#:]VOLTage:STARt", Command::VoltageStart, kBoth, Amplitude},
    {"[SOURce#:]VOLTage:STOP", Command::VoltageStop, kBoth, Amplitude},
    {"[SOURce#:]VOLTage[:LEVel][:IMMediate][:AMPLitude]", Command::Amplitude, kBoth, Amplitude},
    {"[SOURce#:]PHASe[:ADJust]", Command::Phase, kBoth, Phase},
    {"[SOURce#:]FUNCtion:SQUare:DCYCle", Command::DutyCycle, kBoth, Percent},
    {"[SOURce#:]FUNCtion:PULSe:DCYCle", Command::DutyCycle, kBoth, Percent},
    {"[SOURce#:]FUNCtion[:SHAPe]", Command::Shape, kBoth},
    {"OUTPut#[:STATe]", Command::Output, kBoth, Boolean},
    {"[SOURce#:]APPLy:SINusoid", Command::Apply, kSet, None, "SIN"},
    {"[SOURce#:]APPLy:SQUare", Command::Apply, kSet, None, "SQU"},
    {"[SOURce#:]APPLy:TRIangle", Command::Apply, kSet, None, "TRI"},
    {"[SOURce#:]APPLy:RAMP", Command::Apply, kSet, None, "RAMP"},
    {"[SOURce#:]APPLy:NOISe", Command::Apply, kSet, None, "NOIS"},
    {"[SOURce#:]APPLy", Command::Apply, kQuery},
    {"MEASure[:SCALar]:FREQuency", Command::MeasureFrequency, kQuery},
    {"FETCh[:SCALar][:FREQuency]", Command::MeasureFrequency, kQuery},
    {"[SOURce#:]SWEep:STATe", Command::SweepState, kBoth, Boolean},
    {"[SOURce#:]SWEep:TIME", Command::SweepTime, kBoth, Time},
    {"[SOURce#:]BURSt:STATe", Command::BurstState, kBoth, Boolean},
    {"[SOURce#:]BURSt:NCYCles", Command::BurstCycles, kBoth, Count},
    {"TRIGger[:SEQuence][:IMMediate]", Command::Trigger, kSet},
    {"[SOURce#:]FM:STATe", Command::FmState, kBoth, Boolean},
    {"[SOURce#:]FM:DEViation", Command::FmDeviation, kBoth, Percent},
    {"[SOURce#:]FM:INTernal:FREQuency", Command::FmFrequency, kBoth, Frequency},
    {"[SOURce#:]FSKey:STATe", Command::FskState, kBoth, Boolean},
    {"[SOURce#:]FSKey[:FREQuency]", Command::FskFrequency, kBoth, Frequency},
    {"[SOURce#:]FSKey:INTernal:RATE", Command::FskRate, kBoth, Rate},
    {"[SOURce#:]ASKey:STATe", Command::AskState, kBoth, Boolean},
    {"[SOURce#:]ASKey[:AMPLitude]", Command::AskAmplitude, kBoth, Amplitude},
    {"[SOURce#:]ASKey:INTernal:RATE", Command::AskRate, kBoth, Rate},
    {"[SOURce#:]PSKey:STATe", Command::PskState, kBoth, Boolean},
    {"[SOURce#:]PSKey[:PHASe]", Command::PskPhase, kBoth, Phase},
    {"[SOURce#:]PSKey:INTernal:RATE", Command::PskRate, kBoth, Rate},
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
  for (const Row& row : kTable) {
    if (row.command == command) return row.header;
  }
  return {};
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
  for (const Row& row : kTable) {
    if (row.command == command) return row.quantity;
  }
  return Quantity::None;
}

}  // namespace zrt::scpi
