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
  // Written in digits only, as the keys write it; a number with more digits
  // than a line is read with is no line.
  const int frequency = *ItemKeyFor(Command::Frequency, 1);
  EXPECT_EQ(SetLine("88", 1, frequency, 1e14), "88CHA:AFREQ100000000000000Hz");
  EXPECT_EQ(SetLine("88", 1, frequency, 1e15), std::nullopt);
  EXPECT_EQ(SetLine("88", 1, frequency, 1e300), std::nullopt);
}

// Long and short forms in any case, optional nodes, channel suffixes; a
// header that is neither form, a suffix where none is taken or a node too
// many names nothing.
TEST(ScpiCommands, HeadersNameTheirCommand) {
  using C = Command;
  const struct {
    std::string_view message;
    int error;  // 0: named
    Command command = C::Identify;
    int channel = 1;
  } cases[] = {
      {"SOUR2:FREQ:CW?", 0, C::Frequency, 2},
      {"Source1:Freq:fixed 1", 0, C::Frequency},
      {"frequency 1", 0, C::Frequency},
      {"source2:voltage:amplitude?", 0, C::Amplitude, 2},
      {"VOLT:OFFS -1", 0, C::Offset},
      {"VOLT:UNIT VRMS", 0, C::VoltageUnit},
      {"FUNC:SQU:DCYC 20", 0, C::DutyCycle},
      {"SOUR2:FUNC:PULS:DCYC?", 0, C::DutyCycle, 2},
      {"OUTP2:STAT ON", 0, C::Output, 2},
      {"PHAS:ADJ 90", 0, C::Phase},
      {"SYSTEM:ERROR:NEXT?", 0, C::ErrorNext},
      {"*idn?", 0, C::Identify},
      {"*RST?", -113},
      {"SYST:ERR", -113},
      {"FREQU 1", -113},
      {"FREQ2 1", -113},
      {"SOUR2:FREQ:CW:CW 1", -113},
      {"OUTP1234 ON", -113},
      {"SOUR3:FREQ 1", -114},
  };
  for (const auto& c : cases) {
    const auto units = CutMessage(c.message);
    ASSERT_EQ(units.size(), 1u) << c.message;
    const auto named = NameCommand(std::get<ProgramUnit>(units[0]));
    const auto* error = std::get_if<Error>(&named);
    EXPECT_EQ(error ? error->code : 0, c.error) << c.message;
    if (const auto* got = std::get_if<Named>(&named)) {
      EXPECT_EQ(got->command, c.command) << c.message;
      EXPECT_EQ(got->channel, c.channel) << c.message;
      EXPECT_EQ(got->query, c.message.find('?') != std::string_view::npos) << c.message;
    }
  }
}

}  // namespace
}  // namespace zrt::scpi
