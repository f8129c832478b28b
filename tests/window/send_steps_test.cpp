// The steps of a send without a window: conversions, the error report's
// text and the message queue.
#include "window/send_steps.h"

#include <gtest/gtest.h>

#include "window/operator_messages.h"

namespace zrt::window::testing {
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
  };
  for (const Case& c : cases) EXPECT_EQ(ToLine(c.text), c.line) << c.text.toStdString();

  QByteArray all;
  for (int b = 0; b < 256; ++b) all.append(static_cast<char>(b));
  const QString shown = FromLine(all);
  ASSERT_EQ(shown.size(), 256);
  for (int b = 0; b < 256; ++b) EXPECT_EQ(shown[b].unicode(), b);
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

TEST(ErrorReport, FinalStopUnlessTheMessageEndsAtOrBelowIt) {
  const std::pair<const char*, const char*> cases[] = {
      {"Done.", "Done."}, {"Stop!", "Stop!"}, {"Comma,", "Comma,"}, {"", ""}, {"Zed", "Zed."}};
  for (const auto& [message, shown] : cases) {
    EXPECT_EQ(ErrorReport("T", std::runtime_error(message)).text, shown) << message;
  }
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
