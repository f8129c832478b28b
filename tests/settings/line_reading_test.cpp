// Lines read as the instrument takes them, in every form it accepts.
#include "settings/line_reading.h"

#include <gtest/gtest.h>

namespace zrt::settings {
namespace {

struct Reads {
  const char* line;
  const char* function;
  const char* item;
  const char* unit;  // nullptr: no value
  double number;
};

TEST(LineReading, SettingsInEveryForm) {
  const Reads table[] = {
      {"88CHA:AFREQ1000Hz", "CHA", "AFREQ", "Hz", 1000},  // as the keys compose it
      {"XCHA:AFREQ1000Hz", "CHA", "AFREQ", "Hz", 1000},   // the address as its byte
      {",CHA:AFREQ1000Hz", "CHA", "AFREQ", "Hz", 1000},
      {"CHA:AFREQ:1000HZ", "CHA", "AFREQ", "Hz", 1000},
      {"CHA:AFREQ 1000HZ", "CHA", "AFREQ", "Hz", 1000},
      {"cha:afreq 1khz", "CHA", "AFREQ", "kHz", 1000},
      {"CHAAFREQ2.5MHz", "CHA", "AFREQ", "MHz", 2.5e6},
      {"CHA:AFREQ:1.5MHZ", "CHA", "AFREQ", "MHz", 1.5e6},  // upper case: the larger unit
      {"CHA:AFREQ:250mHz", "CHA", "AFREQ", "mHz", 0.25},
      {"CHA:AFREQ:1000", "CHA", "AFREQ", "", 1000},  // no unit: the base unit
      {"CHA:VPP:500mVpp", "CHA", "VPP", "mVpp", 0.5},
      {"CHA:VPP:2.MVPP", "CHA", "VPP", "mVpp", 0.002},
      {"CHB:VPP 3Vpp", "CHB", "VPP", "Vpp", 3},
      {"CHA:VRMS:700mVrms", "CHA", "VRMS", "mVrms", 0.7},
      {"CHA:APERD:20mS", "CHA", "APERD", "mS", 0.02},
      {"CHA:AOFFS:-1.25Vdc", "CHA", "AOFFS", "Vdc", -1.25},
      {"CHA:AOFFS:+300mVdc", "CHA", "AOFFS", "mVdc", 0.3},
      {"CHA:AOFFS:.5Vdc", "CHA", "AOFFS", "Vdc", 0.5},
      {"CHA:PHASE:90DEG", "CHA", "PHASE", "DEG", 90},
      {"CHA:AATTE:20dB", "CHA", "AATTE", "dB", 20},
      {"CHA:ADUTY:25%", "CHA", "ADUTY", "%", 25},
      {"CHA:AWAVE:3No.", "CHA", "AWAVE", "No.", 3},
      {"CHA:SWITCH:1no.", "CHA", "SWITCH", "No.", 1},
      {"FSWP:INTVL:5S", "FSWP", "INTVL", "S", 5},
      {"CHB:BHARM:2TIME", "CHB", "BHARM", "TIME", 2},
      {"ABURST:NCYCL:10CYCL", "ABURST", "NCYCL", "CYCL", 10},
      {"TTL:TTLAF:1kHz", "TTL", "TTLAF", "kHz", 1000},
      {"FM:DEVIA:5%", "FM", "DEVIA", "%", 5},
      {"  CHA : AFREQ : 7Hz \r", "CHA", "AFREQ", "Hz", 7},
  };
  for (const Reads& row : table) {
    SCOPED_TRACE(row.line);
    const auto reading = ReadLine(row.line);
    ASSERT_TRUE(reading);
    EXPECT_EQ(reading->function, row.function);
    EXPECT_EQ(reading->item, row.item);
    EXPECT_FALSE(reading->query);
    ASSERT_TRUE(reading->value);
    EXPECT_EQ(reading->value->unit, row.unit);
    EXPECT_DOUBLE_EQ(reading->value->number, row.number);
  }
  EXPECT_EQ(ReadLine("88CHA:AFREQ1000Hz")->value->text, "1000Hz") << "kept as written";
}

TEST(LineReading, QueriesCommandsAndSharedMnemonics) {
  const auto query = ReadLine("88CHA:AFREQ?");
  ASSERT_TRUE(query);
  EXPECT_TRUE(query->query);
  EXPECT_FALSE(query->value);
  EXPECT_TRUE(ReadLine("chbvpp ?")->query);

  const auto trigger = ReadLine("XASWP:TRIGG");
  ASSERT_TRUE(trigger);
  EXPECT_FALSE(trigger->query);
  EXPECT_FALSE(trigger->value);

  // "CARRA" is the carrier's amplitude under FM and channel B's under bursts.
  EXPECT_EQ(ReadLine("FM:CARRA:1Vpp")->itemCode, 50);
  EXPECT_EQ(ReadLine("BBURST:CARRA:1Vpp")->itemCode, 59);
}

TEST(LineReading, MalformedLinesAreNothing) {
  for (const char* line :
       {"", "?", ":", "88", "CHA", "CHA:", "CHA:NOPE:1Hz", "XYZ:AFREQ:1Hz", "CHA:AFREQ:1000Vpp",
        "CHA:AFREQ:1000XYZ", "CHA:AFREQ:-", "CHA:AFREQ:.", "CHA:AFREQ:1.2.3Hz", "CHA:AFREQ:ON",
        "CHA:AFREQ:1,5kHz", "CHA:AFREQ??", "\xff\xfe\x80", "CHA:AFREQ:1e3Hz"}) {
    EXPECT_FALSE(ReadLine(line)) << line;
  }
}

// Where reading stops is what a refusal names.
TEST(LineReading, LinesReadOnlyInPartSayWhereTheyStop) {
  const std::string longNumber = "CHA:AFREQ:1" + std::string(308, '0') + "Hz";
  const std::pair<std::string, std::string> table[] = {
      {"88 CHA:AFREQ:20MHz", " CHA:AFREQ:20MHz"},
      {"88:CHA:AFREQ:30MHz", ":CHA:AFREQ:30MHz"},
      {"CHA:AFREQ:2e7Hz", "e7Hz"},
      {"88CHA:AFREQ:50MHz:", "MHz:"},
      {"CHA:AFREQ:20,000,000Hz", ",000,000Hz"},
      {"CHA:AFREQ\t20MHz", "\t20MHz"},
      {"CHA:AFREQ:20MHz;", "MHz;"},
      {"CHA:AFREQ:1kHz\rCHA:AFREQ:20MHz", "kHz\rCHA:AFREQ:20MHz"},
      {longNumber, longNumber.substr(10)},
      {"CHA:AFREQ:1234567890123456Hz", "1234567890123456Hz"},
      {"CHA:AFREQ:infHz", "infHz"},
      {"CHA:AFREQ:0x10Hz", "x10Hz"},
      {"CHA:NOPE:1Hz", "NOPE:1Hz"},
      {"hello", "hello"},
  };
  for (const auto& [line, from] : table) {
    const auto read = ReadWhole(line);
    ASSERT_TRUE(std::holds_alternative<Unread>(read)) << line;
    EXPECT_EQ(std::get<Unread>(read).from, from) << line;
  }
  EXPECT_DOUBLE_EQ(ReadLine("CHA:AFREQ:123456789012345Hz")->value->number, 123456789012345.0)
      << "fifteen digits are a number";
}

TEST(LineReading, RepliesAsValues) {
  EXPECT_DOUBLE_EQ(ReadValue(21, "1000HZ\n")->number, 1000);
  EXPECT_DOUBLE_EQ(ReadValue(21, " 2kHz\r\n")->number, 2000);
  EXPECT_DOUBLE_EQ(ReadValue(21, "CHA:AFREQ:3kHz\n")->number, 3000) << "the line given back";
  EXPECT_FALSE(ReadValue(21, "CHB:BFREQ:3kHz\n")) << "another item's";
  EXPECT_FALSE(ReadValue(21, "OK\n"));
  EXPECT_FALSE(ReadValue(21, ""));
}

}  // namespace
}  // namespace zrt::settings
