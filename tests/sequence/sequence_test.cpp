#include "sequence/sequence.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace zrt::sequence {
namespace {

// The steps in short: "send X", "wait 500", "expect X 2000", "match X 2000".
QStringList Short(const std::vector<Step>& steps) {
  QStringList out;
  for (const Step& s : steps) {
    switch (s.kind) {
      case Step::Kind::Send:
        out << "send " + s.text;
        break;
      case Step::Kind::Wait:
        out << QString("wait %1").arg(s.duration.count());
        break;
      case Step::Kind::Expect:
        out << QString("%1 %2 %3")
                   .arg(s.pattern ? "match" : "expect", s.text)
                   .arg(s.duration.count());
        break;
    }
  }
  return out;
}

TEST(Sequence, ExpandsEveryStatement) {
  struct Case {
    const char* text;
    QStringList steps;
  } cases[] = {
      {"# set up\n\n  CHA:AFREQ:1000HZ  \r\n", {"send CHA:AFREQ:1000HZ"}},
      {"wait 500ms\nwait 2s\nwait 1.5s\nwait 0ms",
       {"wait 500", "wait 2000", "wait 1500", "wait 0"}},
      {"A\nexpect OK\ntimeout 3s\nexpect /^1000HZ\\n$/\nexpect /",
       {"send A", "expect OK 2000", "match ^1000HZ\\n$ 3000", "expect / 3000"}},
      {"repeat 2\n  A\n  repeat 2\n    B\n  end\nend\nrepeat 0\n  C\nend",
       {"send A", "send B", "send B", "send A", "send B", "send B"}},
      {"for F in 1000 2000 fast\n  CHA:AFREQ:${F}HZ\nend\nX${F}",
       {"send CHA:AFREQ:1000HZ", "send CHA:AFREQ:2000HZ", "send CHA:AFREQ:fastHZ", "send Xfast"}},
      {"set A 88\nset B ${A}ASWP\n${B}:TRIGG $5 {x}\nset A 1\n${A}",
       {"send 88ASWP:TRIGG $5 {x}", "send 1"}},
      {"set T 250ms\nset N 2\nrepeat ${N}\nwait ${T}\nend", {"wait 250", "wait 250"}},
      {"waiting for\nSetup\nend:1",
       {"send waiting for", "send Setup", "send end:1"}},  // not keywords
      // Comments after a blank, "\#" for a "#", and "send" for a line as it is.
      {"XCHA:AFREQ? # trailing comment\nA#B\nC \\#1\n\\#D\n  # whole line",
       {"send XCHA:AFREQ?", "send A#B", "send C #1", "send #D"}},
      {"send wiat 100ms\nsend   wait\nsend send", {"send wiat 100ms", "send wait", "send send"}},
      {"WIAT\nwaitress\nchA:x", {"send WIAT", "send waitress", "send chA:x"}},
  };
  for (const Case& c : cases) {
    const Parsed parsed = Parse(c.text, "t.zrt");
    ASSERT_TRUE(std::holds_alternative<std::vector<Step>>(parsed))
        << c.text << "\n"
        << Describe(std::get<ParseError>(parsed)).toStdString();
    EXPECT_EQ(Short(std::get<std::vector<Step>>(parsed)), c.steps) << c.text;
  }
  // Each step knows its line.
  const auto steps = std::get<std::vector<Step>>(Parse("A\n\nrepeat 2\n B\nend\n", "t"));
  std::vector<int> lines;
  for (const Step& s : steps) lines.push_back(s.line);
  EXPECT_EQ(lines, (std::vector<int>{1, 4, 4}));
}

TEST(Sequence, RefusesWithLineColumnAndWhatWasExpected) {
  QString deep;
  for (int i = 0; i <= kMaxDepth; ++i) deep += "repeat 1\n";
  struct Case {
    QString text;
    int line, column;
    Problem problem;
  } cases[] = {
      {"A\nwait", 2, 5, Problem::Duration},
      {"wait 5 sec", 1, 6, Problem::Duration},
      {"  timeout 3h", 1, 11, Problem::Duration},
      {"wait 25h", 1, 6, Problem::Duration},
      {"repeat -1\nend", 1, 8, Problem::Count},
      {"repeat 2000000\nend", 1, 8, Problem::Count},
      {"expect", 1, 7, Problem::ExpectText},
      {"A\nexpect /a(b/", 2, 12, Problem::Pattern},
      {"expect OK\nA", 1, 1, Problem::ExpectFirst},  // no reply before it to wait for
      // Keywords in any case: "Wait 5 sec" is no line for the instrument.
      {"A\nWait 5 sec", 2, 6, Problem::Duration},
      {"A\nEXPECT", 2, 7, Problem::ExpectText},
      {"set 1X 2", 1, 5, Problem::Name},
      {"set X", 1, 6, Problem::Value},
      {"for X of 1 2\nend", 1, 7, Problem::In},
      {"for X in\nend", 1, 9, Problem::Values},
      {"A\n  end", 2, 3, Problem::EndWithoutBlock},
      {"repeat 2\nfor X in 1\nA\nend\n", 5, 1, Problem::MissingEnd},
      {deep, kMaxDepth + 1, 1, Problem::TooDeep},
      {"set A 1\nCHA:${A}:${B}", 2, 10, Problem::Unset},
      {"CHA:${A", 1, 5, Problem::Brace},
      {"CHA:${1}", 1, 7, Problem::Name},
      {"repeat 1000\nrepeat 1000\nA\nend\nend", 3, 1, Problem::TooManySteps},
      {"repeat 1000000\nrepeat 1000000\nend\nend", 2, 1, Problem::TooManySteps},
      {"set T 5x\nwait ${T}", 2, 6, Problem::Duration},
      {"repeat 2\nend now", 2, 5, Problem::NothingAfterEnd},
      {"set A xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\n" +
           QString("set A ${A}${A}\n").repeated(12),
       11, 7, Problem::TooLong},
      {"set A " + QString(60000, 'x') + "\nrepeat 100\n${A}\nend", 3, 1, Problem::TooBig},
      // What never runs is checked all the same.
      {"A\nrepeat 0\n  expect /a(b/\nend", 3, 14, Problem::Pattern},
      {"repeat 0\n  CHA:${NOPE}\nend", 2, 7, Problem::Unset},
      {"repeat 0\n  repeat 1000000\n    wait 5 sec\n  end\nend", 3, 10, Problem::Duration},
      {QString("wait 1ms\n").repeated(kMaxSteps + 1), kMaxSteps + 1, 1, Problem::TooManySteps},
      // Typos of keywords are not sent.
      {"A\n  wiat 100ms", 2, 3, Problem::Typo},
      {"repaet 2\nend", 1, 1, Problem::Typo},
      {"expcet OK", 1, 1, Problem::Typo},
      {"send", 1, 5, Problem::SendWhat},
      {"send   # nothing", 1, 5, Problem::SendWhat},
      {"get ready", 1, 1, Problem::Typo},  // "set"
      // Characters the instrument has no byte for.
      {QString::fromUtf8("CHA:AFREQ:1000赫兹"), 1, 15, Problem::NoByte},
      {QString::fromUtf8("set U 赫\nCHA:AFREQ:1${U}"), 2, 1, Problem::NoByte},
  };
  for (const Case& c : cases) {
    const Parsed parsed = Parse(c.text, "steps.zrt");
    ASSERT_TRUE(std::holds_alternative<ParseError>(parsed)) << c.text.toStdString();
    const ParseError& e = std::get<ParseError>(parsed);
    EXPECT_EQ(std::make_tuple(e.line, e.column, e.problem),
              std::make_tuple(c.line, c.column, c.problem))
        << c.text.toStdString() << "\n"
        << Describe(e).toStdString();
  }
}

TEST(Sequence, SaysWhereAndWhatInEachLanguage) {
  const ParseError missing = std::get<ParseError>(Parse("repeat 2\nA", "steps.zrt"));
  EXPECT_EQ(Describe(missing), "steps.zrt:3:1: expected 'end' to close the 'repeat' of line 1");
  EXPECT_EQ(Describe(missing, 1), "steps.zrt:3:1: 应有 'end' 结束第 1 行的 'repeat'");
  const ParseError typo = std::get<ParseError>(Parse("wiat 100ms", "s"));
  EXPECT_EQ(Describe(typo),
            "s:1:1: did you mean 'wait'? (write 'send' in front of a line meant as it is)");
  const ParseError unset = std::get<ParseError>(Parse("A${F}", "s"));
  EXPECT_EQ(Describe(unset, 2), "s:1:2: '${F}' 在 'set F' 之前使用");
  // A file's name and a detail are shown as they are, % and all.
  const ParseError percent = std::get<ParseError>(Parse("A${%2x}", "bad%3x%2y.zrt"));
  EXPECT_EQ(Describe(percent),
            "bad%3x%2y.zrt:1:4: expected a name (letters, digits and _, not "
            "starting with a digit)");
  // A file that is not UTF-8 is refused where it stops being text.
  const ParseError bytes = std::get<ParseError>(ParseBytes("A\nCH\xff", "b"));
  EXPECT_EQ(std::make_tuple(bytes.line, bytes.column, bytes.problem),
            std::make_tuple(2, 3, Problem::NotText));
}

}  // namespace
}  // namespace zrt::sequence
