// The steps of a send without a window: conversions, substitution, the
// sweep rule, the error report's text, the paced sender and the message queue.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include "link/ecomms_error.h"
#include "window/operator_messages.h"
#include "window/paced_sender.h"
#include "window/send_steps.h"

namespace zrt::window::testing {
namespace {

QByteArray Bytes(std::initializer_list<int> values) {
  QByteArray bytes;
  for (int v : values) bytes.append(static_cast<char>(v));
  return bytes;
}

TEST(TextConversion, EightBitsBothWays) {
  struct Case {
    QString text;
    QByteArray line;
  };
  const Case cases[] = {
      {"FREQ:1000", "FREQ:1000"},
      {QString(QChar(0)) + QChar(0xFF) + QChar(0xE9), Bytes({0x00, 0xFF, 0xE9})},
      {QString::fromUtf8("频率"), "??"},
      {QString::fromUtf8("A😀B"), "A?B"},  // one character beyond the basic plane, one "?"
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ToLine(c.text), c.line) << c.text.toStdString();

  QByteArray all;
  for (int b = 0; b < 256; ++b) all.append(static_cast<char>(b));
  const QString shown = FromLine(all);
  ASSERT_EQ(shown.size(), 256);
  for (int b = 0; b < 256; ++b) EXPECT_EQ(shown[b].unicode(), b);
  EXPECT_EQ(ToLine(shown), all);
}

TEST(IntegerSettings, ConvertOrRaise) {
  struct Good {
    const char* text;
    std::int32_t value;
  };
  const Good good[] = {{"88", 88},          {"300", 300},      {"0", 0},
                       {"-1", -1},          {"+7", 7},         {"  19200", 19200},
                       {"$2C", 44},         {"0x58", 88},      {"0XfF", 255},
                       {"2147483647", 2147483647}, {"-2147483648", INT32_MIN},
                       {"$FFFFFFFF", -1}};
  for (const Good& g : good) EXPECT_EQ(StrToInt(g.text), g.value) << g.text;

  for (const char* bad :
       {"", " ", "88 ", "8 8", "fast", "1e3", "2147483648", "-2147483649", "$", "0x", "$1G", "--1",
        "٣"}) {
    try {
      StrToInt(QString::fromUtf8(bad));
      ADD_FAILURE() << bad << " converted";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.what(), "'" + std::string(bad) + "' is not a valid integer value");
    }
  }
}

TEST(AddressSubstitution, FirstOccurrenceOnly) {
  struct Case {
    QByteArray line;
    QByteArray addressText;
    int address;
    QByteArray expected;
  };
  const Case cases[] = {
      {"88ASWP:TRIGG", "88", 88, "XASWP:TRIGG"},
      {"88FREQ88", "88", 88, "XFREQ88"},
      {"FREQ:1000", "88", 88, "FREQ:1000"},
      {"300AMPL", "300", 300, ",AMPL"},
      {"0AMPL", "0", 0, Bytes({0, 'A', 'M', 'P', 'L'})},
      {"-1X", "-1", -1, Bytes({0xFF, 'X'})},
      {"FREQ0X41", "0x41", 0x41, "FREQA"},  // letter case ignored
      {"8", "88", 88, "8"},
      {"", "88", 88, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SubstituteAddress(c.line, c.addressText, AddressByte(c.address)), c.expected)
        << c.line.toStdString();
  }
}

TEST(SweepTrigger, WholeLineByteForByte) {
  struct Case {
    QByteArray line;
    int address;
    bool holds;
  };
  const Case cases[] = {
      {"XASWP:TRIGG", 88, true},   {",ASWP:TRIGG", 300, true},  {"XASWP:TRIGG", 89, false},
      {"Xaswp:trigg", 88, false},  {"XASWP:TRIGG ", 88, false}, {"ASWP:TRIGG", 88, false},
      {"88ASWP:TRIGG", 88, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsSweepTrigger(c.line, AddressByte(c.address)), c.holds) << c.line.toStdString();
  }
  EXPECT_EQ(FrameOf("XASWP:TRIGG"), "XASWP:TRIGG\n");
  EXPECT_EQ(FrameOf(""), "\n");
}

TEST(ErrorReport, FinalStopAndReason) {
  struct Case {
    std::string message;
    QString shown;
  };
  const Case cases[] = {
      {"Error opening serial port", "Error opening serial port."},
      {"File handle is not a comm handle ", "File handle is not a comm handle "},
      {"'x' is not a valid integer value", "'x' is not a valid integer value."},
      {"Done.", "Done."},
      {"Stop!", "Stop!"},
      {"Ends in a comma,", "Ends in a comma,"},
      {"", ""},
  };
  for (const Case& c : cases) {
    const OperatorMessage report = ErrorReport("Title", std::runtime_error(c.message));
    EXPECT_EQ(report.text, c.shown) << c.message;
    EXPECT_EQ(report.kind, OperatorMessage::Kind::HandlerError);
    EXPECT_EQ(report.title, "Title");
    EXPECT_TRUE(report.detail.isEmpty());
  }
  const OperatorMessage comms =
      ErrorReport("T", link::ECommsError("Error opening serial port", "Permission denied"));
  EXPECT_EQ(comms.detail, "Permission denied");
}

TEST(PacedSender, BytesInOrderThenThePause) {
  using namespace std::chrono_literals;
  PacedSender sender(10ms);
  QSignalSpy finished(&sender, &PacedSender::Finished);
  QByteArray taken;
  QElapsedTimer clock;
  clock.start();
  ASSERT_TRUE(sender.Start("ABC\n", [&](char b) {
    taken.append(b);
    return true;
  }));
  EXPECT_EQ(taken, "A") << "the first byte goes at once";
  EXPECT_FALSE(sender.Start("Z", [](char) { return true; })) << "one frame at a time";
  EXPECT_TRUE(sender.Busy());
  ASSERT_TRUE(finished.wait(5000));
  EXPECT_GE(clock.elapsed(), 40) << "four intervals, the last after the line feed";
  EXPECT_EQ(taken, "ABC\n");
  EXPECT_EQ(finished.takeFirst().at(0).toBool(), true);
  EXPECT_FALSE(sender.Busy());

  // A refused byte ends the frame at once; the rest is not offered.
  taken.clear();
  ASSERT_TRUE(sender.Start("ABCD", [&](char b) {
    taken.append(b);
    return b != 'B';
  }));
  ASSERT_TRUE(finished.wait(5000));
  EXPECT_EQ(taken, "AB");
  EXPECT_EQ(finished.takeFirst().at(0).toBool(), false);

  // A cancelled frame offers nothing more and reports nothing.
  taken.clear();
  ASSERT_TRUE(sender.Start("ABCD", [&](char b) {
    taken.append(b);
    return true;
  }));
  sender.Cancel();
  EXPECT_FALSE(finished.wait(50));
  EXPECT_EQ(taken, "A");
}

// Answers when the test says so.
class HeldPresenter : public MessagePresenter {
 public:
  void Present(const OperatorMessage& message, std::function<void()> answered) override {
    shown.push_back(message.text);
    pending.push_back(std::move(answered));
  }
  void AnswerFirst() {
    auto answered = std::move(pending.front());
    pending.erase(pending.begin());
    answered();
  }
  std::vector<QString> shown;
  std::vector<std::function<void()>> pending;
};

TEST(MessageQueue, OneAtATimeAndThenAfterTheAnswer) {
  HeldPresenter presenter;
  MessageQueue queue(presenter);
  std::vector<int> ran;
  queue.Post(SendFailure("first"), [&] { ran.push_back(1); });
  queue.Post(SendFailure("second"), [&] { ran.push_back(2); });
  EXPECT_EQ(presenter.shown, std::vector<QString>{"first"});
  EXPECT_TRUE(ran.empty());
  presenter.AnswerFirst();
  EXPECT_EQ(ran, std::vector<int>{1});
  EXPECT_EQ(presenter.shown, (std::vector<QString>{"first", "second"}));
  presenter.AnswerFirst();
  EXPECT_EQ(ran, (std::vector<int>{1, 2}));
}

}  // namespace
}  // namespace zrt::window::testing
