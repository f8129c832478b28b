// SCPI commands named from the table, and the lines they become: each
// compared with what the key panels compose when the same keys are pressed,
// the item key enabled by the channel's function as on the panel.
#include <gtest/gtest.h>

#include "compose/composer.h"
#include "compose/key_vocabulary.h"
#include "fake_target.h"
#include "scpi/commands.h"
#include "scpi/instrument_lines.h"

namespace zrt::scpi {
namespace {

using compose::KeyClass;

int Key(KeyClass keyClass, std::string_view text) {
  for (const compose::KeyEntry& key : compose::Vocabulary()) {
    if (key.keyText == text && compose::ClassOf(key.code) == keyClass && !key.button.empty()) {
      return key.code;
    }
  }
  ADD_FAILURE() << "no key " << text;
  return -1;
}

// What pressing the keys of `function`, ":", `item`, the digits of
// `number` and `unit` composes after the address "88", or an empty
// string when the panel has the item greyed out.
std::string Composed(std::string_view function, std::string_view item, std::string_view number,
                     std::string_view unit) {
  compose::testing::FakeTarget target;
  compose::Composer composer(target);
  target.line = u"88";
  composer.HandleKey(Key(KeyClass::Function, function));
  composer.HandleKey(Key(KeyClass::Symbol, ":"));
  const int itemKey = Key(KeyClass::Item, item);
  if (!target.Enabled(itemKey)) return {};
  composer.HandleKey(itemKey);
  for (char digit : number) composer.HandleKey(Key(KeyClass::Data, std::string_view(&digit, 1)));
  composer.HandleKey(Key(KeyClass::Unit, unit));
  return std::string(target.line.begin(), target.line.end());
}

TEST(ScpiLines, SetLinesAreWhatTheKeysCompose) {
  const struct {
    Command command;
    int channel;
    AmplitudeUnit amplitude;
    double value;
    const char* function;
    const char* item;
    const char* number;
    const char* unit;
  } cases[] = {
      {Command::Frequency, 1, AmplitudeUnit::Vpp, 1234.5, "CHA", "AFREQ", "1234.5", "Hz"},
      {Command::Frequency, 2, AmplitudeUnit::Vpp, 0.001, "CHB", "BFREQ", "0.001", "Hz"},
      {Command::Amplitude, 2, AmplitudeUnit::Vpp, 2, "CHB", "VPP", "2", "Vpp"},
      {Command::Amplitude, 1, AmplitudeUnit::Vrms, 0.5, "CHA", "VRMS", "0.5", "Vrms"},
      {Command::Offset, 1, AmplitudeUnit::Vpp, -2.5, "CHA", "AOFFS", "-2.5", "Vdc"},
      {Command::Phase, 2, AmplitudeUnit::Vpp, 90, "CHB", "PHASE", "90", "DEG"},
      {Command::DutyCycle, 1, AmplitudeUnit::Vpp, 25, "CHA", "ADUTY", "25", "%"},
      {Command::DutyCycle, 2, AmplitudeUnit::Vpp, 75, "CHB", "BDUTY", "75", "%"},
      {Command::Output, 1, AmplitudeUnit::Vpp, 1, "CHA", "SWITCH", "1", "No."},
  };
  for (const auto& c : cases) {
    const auto item = ItemKeyFor(c.command, c.channel, c.amplitude);
    ASSERT_TRUE(item) << c.item;
    const auto line = SetLine("88", c.channel, *item, c.value);
    ASSERT_TRUE(line) << c.item;
    EXPECT_EQ(*line, Composed(c.function, c.item, c.number, c.unit));
    EXPECT_EQ(QueryLine("88", c.channel, *item),
              std::string("88") + c.function + ":" + c.item + "?");
  }
  // What the channel's function does not offer is no line at all.
  EXPECT_EQ(ItemKeyFor(Command::Offset, 2), std::nullopt);
  EXPECT_EQ(ItemKeyFor(Command::Amplitude, 2, AmplitudeUnit::Vrms), std::nullopt);
  // Written in digits only, as the keys write it; a number too long for
  // that is no line.
  const int frequency = *ItemKeyFor(Command::Frequency, 1);
  EXPECT_EQ(SetLine("88", 1, frequency, 1e20), "88CHA:AFREQ100000000000000000000Hz");
  EXPECT_EQ(SetLine("88", 1, frequency, 1e300), std::nullopt);
}

TEST(ScpiCommands, HeadersNameTheirCommand) {
  const struct {
    std::string_view message;
    std::variant<Named, Error> named;
  } cases[] = {
      {"FREQ 1000", Named{Command::Frequency, 1, false}},
      {"SOUR2:FREQ:CW?", Named{Command::Frequency, 2, true}},
      {"VOLT 2", Named{Command::Amplitude, 1, false}},
      {"source2:voltage:amplitude?", Named{Command::Amplitude, 2, true}},
      {"VOLT:OFFS -1", Named{Command::Offset, 1, false}},
      {"VOLT:UNIT VRMS", Named{Command::VoltageUnit, 1, false}},
      {"FUNC SIN", Named{Command::Shape, 1, false}},
      {"FUNC:SQU:DCYC 20", Named{Command::DutyCycle, 1, false}},
      {"SOUR2:FUNC:PULS:DCYC?", Named{Command::DutyCycle, 2, true}},
      {"OUTP2:STAT ON", Named{Command::Output, 2, false}},
      {"PHAS:ADJ 90", Named{Command::Phase, 1, false}},
      {"SYST:ERR?", Named{Command::ErrorNext, 1, true}},
      {"SYSTEM:ERROR:COUNT?", Named{Command::ErrorCount, 1, true}},
      {"*idn?", Named{Command::Identify, 1, true}},
      {"*OPC", Named{Command::OperationComplete, 1, false}},
      {"*RST?", Error{-113, "Undefined header"}},
      {"*IDN", Error{-113, "Undefined header"}},
      {"SYST:ERR", Error{-113, "Undefined header"}},
      {"FREQUENCE 1", Error{-113, "Undefined header"}},
      {"SOUR3:FREQ 1", Error{-114, "Header suffix out of range"}},
      {"OUTP0 ON", Error{-114, "Header suffix out of range"}},
  };
  for (const auto& c : cases) {
    const auto units = CutMessage(c.message);
    ASSERT_EQ(units.size(), 1u) << c.message;
    const auto named = NameCommand(std::get<ProgramUnit>(units[0]));
    EXPECT_EQ(named.index(), c.named.index()) << c.message;
    if (const auto* error = std::get_if<Error>(&c.named)) {
      if (const auto* got = std::get_if<Error>(&named)) {
        EXPECT_EQ(*got, *error) << c.message;
      }
    } else if (const auto* got = std::get_if<Named>(&named)) {
      const auto& want = std::get<Named>(c.named);
      EXPECT_EQ(got->command, want.command) << c.message;
      EXPECT_EQ(got->channel, want.channel) << c.message;
      EXPECT_EQ(got->query, want.query) << c.message;
    }
  }
}

}  // namespace
}  // namespace zrt::scpi
