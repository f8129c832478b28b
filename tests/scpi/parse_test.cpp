// Reading SCPI as bench software writes it: the path rule across ';',
// numbers with suffix units, and what is not SCPI refused rather than
// guessed. Headers are read through the command table (lines_test).
#include <gtest/gtest.h>

#include "scpi/message.h"
#include "scpi/parameters.h"

namespace zrt::scpi {
namespace {

// Each unit of a message as "NODE:NODE?|parameters", or "error CODE".
std::vector<std::string> Cut(std::string_view message) {
  std::vector<std::string> said;
  for (const auto& unit : CutMessage(message)) {
    if (const auto* error = std::get_if<Error>(&unit)) {
      said.push_back("error " + std::to_string(error->code));
      continue;
    }
    const auto& program = std::get<ProgramUnit>(unit);
    std::string header;
    for (const std::string& node : program.nodes) header += (header.empty() ? "" : ":") + node;
    said.push_back(header + (program.query ? "?" : "") + "|" + program.parameters);
  }
  return said;
}

TEST(ScpiMessage, UnitsAndThePathRule) {
  const struct {
    std::string_view message;
    std::vector<std::string> units;
  } cases[] = {
      {"*IDN?", {"*IDN?|"}},
      {"  freq   1.5 kHz \r\n", {"freq|1.5 kHz"}},
      {"SOUR2:FREQ 1000;VOLT 2", {"SOUR2:FREQ|1000", "SOUR2:VOLT|2"}},
      {"SOUR2:FREQ 1000;:VOLT 2", {"SOUR2:FREQ|1000", "VOLT|2"}},
      {"SOUR2:FREQ 1;*OPC?;VOLT?", {"SOUR2:FREQ|1", "*OPC?|", "SOUR2:VOLT?|"}},
      {"VOLT:OFFS 1;UNIT VRMS", {"VOLT:OFFS|1", "VOLT:UNIT|VRMS"}},
      {"FUNC SIN;", {"FUNC|SIN"}},
      {"DISP:TEXT 'a;b'", {"DISP:TEXT|'a;b'"}},
      {"", {}},
      // Not SCPI: refused where it stops being so, nothing after it taken.
      {"FREQ 1;2FREQ 1", {"FREQ|1", "error -102"}},
      {"SOUR2::FREQ 1", {"error -102"}},
      {"*", {"error -102"}},
      {"DISP:TEXT 'open", {"error -150"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Cut(c.message), c.units) << c.message;
}

TEST(ScpiParameters, NumbersWithSuffixesAndWords) {
  const struct {
    std::string_view text;
    std::optional<Numeric> number;
  } numbers[] = {
      {"1000", Numeric{1000, ""}},
      {"+1.5", Numeric{1.5, ""}},
      {"-.25", Numeric{-0.25, ""}},
      {"2e-3 V", Numeric{0.002, "V"}},
      {"1.5 kHz", Numeric{1.5, "KHZ"}},
      {"500mVpp", Numeric{500, "MVPP"}},
      {"5e", Numeric{5, "E"}},
      // Not a number: refused, never read in part.
      {"", std::nullopt},
      {"1,000", std::nullopt},
      {"0x10", std::nullopt},
      {"inf", std::nullopt},
      {"1e999", std::nullopt},
      {"1 2", std::nullopt},
      {"1234567890123456", std::nullopt},
      {"1.5k Hz", std::nullopt},
  };
  for (const auto& c : numbers) EXPECT_EQ(ReadNumeric(c.text), c.number) << c.text;

  using Split = std::variant<std::vector<std::string>, Error>;
  EXPECT_EQ(SplitParameters(" 1 , 'a,b' ,ON"), Split(std::vector<std::string>{"1", "'a,b'", "ON"}));
  EXPECT_EQ(SplitParameters("1,,2"), Split(Error{-109, "Missing parameter"}));
  EXPECT_EQ(SplitParameters(""), Split(std::vector<std::string>{}));
}

}  // namespace
}  // namespace zrt::scpi
