// The steps of a send: conversions, the address byte, the frame and the
// sweep-trigger rule.
#include "protocol/send_steps.h"

#include <gtest/gtest.h>

namespace zrt::protocol::testing {
namespace {

TEST(TextConversion, EightBitsBothWays) {
  struct Case {
    QString text;
    QByteArray line;
  };
  const Case cases[] = {
      {QString(QChar(0)) + QChar(0xFF) + QChar(0xE9), QByteArray("\0\xFF\xE9", 3)},
      {QString::fromUtf8("频率"), "??"},
      {QString::fromUtf8("A😀B"), "A?B"},  // one character beyond the basic plane, one "?"
      // A Chinese input method's full-width forms, and its space.
      {QString::fromUtf8("CHA:AFREQ:１０００HZ"), "CHA:AFREQ:1000HZ"},
      {QString::fromUtf8("！～　ａＺ"), "!~ aZ"},
  };
  for (const Case& c : cases) EXPECT_EQ(ToLine(c.text), c.line) << c.text.toStdString();

  QByteArray all;
  for (int b = 0; b < 256; ++b) all.append(static_cast<char>(b));
  const QString shown = FromLine(all);
  ASSERT_EQ(shown.size(), 256);
  for (int b = 0; b < 256; ++b) EXPECT_EQ(shown[b].unicode(), b);
}

TEST(TextConversion, FindsTheFirstCharacterWithoutAByte) {
  const std::pair<const char*, std::optional<int>> cases[] = {
      {"CHA:AFREQ:１０００HZ", std::nullopt},
      {"\xC3\xA9\xC3\xBF", std::nullopt},  // é and ÿ have their Latin-1 bytes
      {"AB频率", 3},
      {"😀X频", 1},  // counted in characters, not UTF-16 units
      {"X😀频", 2},
      {"A｟", 2},  // just past the full-width forms of ASCII
  };
  for (const auto& [text, position] : cases) {
    const auto found = FirstWithoutByte(QString::fromUtf8(text));
    EXPECT_EQ(found ? std::optional<int>(found->position) : std::nullopt, position) << text;
  }
  EXPECT_EQ(Describe(*FirstWithoutByte(QString::fromUtf8("AB频"))),
            QString::fromUtf8("'频' (U+9891) at position 3"));
}

TEST(IntegerSettings, ConvertOrRaise) {
  const std::pair<const char*, std::int32_t> good[] = {
      {"-1", -1},       {"  +7", 7}, {"$2C", 44}, {"0XfF", 255}, {"-2147483648", INT32_MIN},
      {"$FFFFFFFF", -1}};
  for (const auto& [text, value] : good) EXPECT_EQ(StrToInt(text), value) << text;

  for (const char* bad : {"", "88 ", "8 8", "1e3", "2147483648", "$", "0x", "$1G", "--1", "٣"}) {
    try {
      StrToInt(QString::fromUtf8(bad));
      ADD_FAILURE() << bad << " converted";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.what(), "'" + std::string(bad) + "' is not a valid integer value");
    }
  }
}

// Only the whole line "<address byte>ASWP:TRIGG" holds Send, letter case kept.
TEST(SweepTrigger, TheWholeLineOnly) {
  const std::pair<QByteArray, bool> cases[] = {
      {"XASWP:TRIGG", true}, {"XASWP:TRIGG\n", false}, {"XASWP:TRIGG2", false},
      {"XASWP:TRIG", false}, {"Xaswp:trigg", false},   {"YASWP:TRIGG", false},
      {"ASWP:TRIGG", false}, {"XXASWP:TRIGG", false},  {"", false},
  };
  for (const auto& [line, holds] : cases) {
    EXPECT_EQ(IsSweepTrigger(line, 'X'), holds) << line.toStdString();
  }
}

}  // namespace
}  // namespace zrt::protocol::testing
