#include "scpi/commands.h"

#include "scpi/header_pattern.h"

namespace zrt::scpi {
namespace {

enum Forms : unsigned { kSet = 1, kQuery = 2, kBoth = kSet | kQuery };

struct Row {
  std::string_view header;
  Command command;
  unsigned forms;
};

// Where two rows could take the same header, the first wins: the table is
// in the order headers are tried.
constexpr Row kTable[] = {
    {"[SOURce#:]FREQuency[:CW|:FIXed]", Command::Frequency, kBoth},
    {"[SOURce#:]VOLTage:UNIT", Command::VoltageUnit, kBoth},
    {"[SOURce#:]VOLTage:OFFSet", Command::Offset, kBoth},
    {"[SOURce#:]VOLTage[:LEVel][:IMMediate][:AMPLitude]", Command::Amplitude, kBoth},
    {"[SOURce#:]PHASe[:ADJust]", Command::Phase, kBoth},
    {"[SOURce#:]FUNCtion:SQUare:DCYCle", Command::DutyCycle, kBoth},
    {"[SOURce#:]FUNCtion:PULSe:DCYCle", Command::DutyCycle, kBoth},
    {"[SOURce#:]FUNCtion[:SHAPe]", Command::Shape, kBoth},
    {"OUTPut#[:STATe]", Command::Output, kBoth},
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
    return Named{row.command, match->channel, unit.query};
  }
  return undefined;
}

}  // namespace zrt::scpi
