// The operator's messages without a window: the error report's text and
// the message queue.
#include "window/send/operator_messages.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "link/port/ecomms_error.h"

namespace zrt::window::testing {
namespace {

TEST(ErrorReport, FinalStopUnlessTheMessageEndsAtOrBelowIt) {
  const std::pair<const char*, const char*> cases[] = {
      {"Done.", "Done."}, {"Stop!", "Stop!"}, {"Comma,", "Comma,"}, {"", ""}, {"Zed", "Zed."}};
  for (const auto& [message, shown] : cases) {
    EXPECT_EQ(ErrorReport("T", std::runtime_error(message)).text, shown) << message;
  }
}

// A port refused for want of permission names the group to join, in the
// operator's language; English keeps the system's own words.
TEST(ErrorReport, PermissionNamesTheGroupToJoin) {
  const link::ECommsError refused(
      "Error opening serial port",
      link::SysError{EACCES, "/dev/ttyS0: Permission denied (the system's words)", "/dev/ttyS0",
                     "dialout"});
  EXPECT_EQ(ErrorReport("T", refused, Language::English).detail,
            "/dev/ttyS0: Permission denied (the system's words)");
  EXPECT_EQ(ErrorReport("T", refused, Language::SimplifiedChinese).detail,
            "没有权限：/dev/ttyS0 属于用户组“dialout”。请把您的用户加入该组（sudo usermod -aG "
            "dialout $USER），然后重新登录。");
}

TEST(ErrorReport, NetworkPortsSayWhatWentWrongInTheLanguage) {
  struct Case {
    int code;
    const char* traditional;
  } cases[] = {
      {ECONNREFUSED, "127.0.0.1:7000 拒絕了連線（那裡沒有伺服器在監聽）"},
      {ETIMEDOUT, "無法連線到 127.0.0.1:7000"},
      {EADDRNOTAVAIL, "找不到主機 127.0.0.1:7000"},
      {EPROTO, "127.0.0.1:7000 沒有確認線路設定"},
      {EINVAL, "127.0.0.1:7000 不接受這些線路設定"},
  };
  for (const Case& c : cases) {
    const link::ECommsError refused(
        "Error opening serial port",
        link::SysError{c.code, "127.0.0.1:7000: the system's words", "127.0.0.1:7000"});
    EXPECT_EQ(ErrorReport("T", refused, Language::English).detail,
              "127.0.0.1:7000: the system's words");
    EXPECT_EQ(ErrorReport("T", refused, Language::TraditionalChinese).detail, c.traditional);
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
