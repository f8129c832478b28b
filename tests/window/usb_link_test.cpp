// Sends over USB from the window: the line as typed, the reply, the two USB
// messages, closing mid-transfer, and seeded bridge faults.
#include <filesystem>

#include "faulty_ch375.h"
#include "sim/simulated_ch375.h"
#include "window/send/operator_messages.h"
#include "window_fixture.h"

namespace zrt::window::testing {
namespace {

using Calls = std::vector<std::string>;
using link::testing::FakeCh375;

const std::string kClose = "Close 0";

class UsbSendTest : public WindowTest {
 protected:
  void SetUp() override {
    usb.present = true;
    WindowTest::SetUp();
    form->SetMessagePresenter(messages);
    Get<RadioGroup>("rg2")->SetItemIndex(1);
  }
  void Send(const QString& line) {
    Get<QLineEdit>("Edit1")->setText(line);
    Click("btn96");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->Sending(); }, 5000));
    EXPECT_TRUE(Button("btn96")->isEnabled()) << "no hold after a USB send";
  }
  QString Reply() const { return Get<QLineEdit>("Edit3")->text(); }

  struct Recorder : MessagePresenter {
    void Present(const OperatorMessage& message, std::function<void()> answered) override {
      shown.push_back(message.text);
      answered();
    }
    std::vector<QString> shown;
  } messages;
};

TEST_F(UsbSendTest, LineGoesOutAsTypedAndTheReplyFollows) {
  struct Case {
    QString line;
    bool written;
    QByteArray reply;
    QString shown;
    std::vector<QString> messages;
  };
  const Case cases[] = {
      {"88ASWP:TRIGG", true, "OK", "接收:OK", {}},  // no hold: the address is not replaced
      {"FREQ", false, "ERR", "接收:ERR", {"发送失败!"}},
      {"FREQ", true, "", "接收:", {}},
      {"FREQ", true, QByteArray(300, 'r'), "接收:" + QString(300, 'r'), {}},
  };
  for (const Case& c : cases) {
    usb.writeSucceeds = c.written;
    usb.reply = c.reply;
    messages.shown.clear();
    const std::size_t writes = usb.Writes().size();
    const qsizetype logged = form->Log().Size();
    Send(c.line);
    ASSERT_EQ(usb.Writes().size(), writes + 1) << "one write";
    EXPECT_EQ(usb.Writes().back(), c.line.toLatin1() + '\n');
    EXPECT_EQ(Reply(), c.shown);
    EXPECT_EQ(messages.shown, c.messages);
    // A frame is in the log only when it was written; otherwise why not.
    QStringList sent;
    for (qsizetype i = logged; i < form->Log().Size(); ++i) {
      const LogEntry e = form->Log().At(i);
      if (e.kind == LogEntry::Kind::Sent) sent << QString::fromLatin1(e.bytes);
      if (e.kind == LogEntry::Kind::Event) sent << e.text;
    }
    EXPECT_EQ(sent, QStringList{c.written ? c.line + "\n" : c.line + ": not sent: 发送失败!"});
  }
  EXPECT_EQ(usb.Calls().back(), "Reply FREQ");
}

TEST_F(UsbSendTest, AddressThatIsNoIntegerAfterTheSend) {
  Get<QLineEdit>("Edit2")->setText("x");
  usb.reply = "OK";
  Send("FREQ");
  EXPECT_EQ(Reply(), "接收:OK");
  EXPECT_EQ(messages.shown, std::vector<QString>{"'x' is not a valid integer value."});
}

TEST_F(UsbSendTest, TheTwoUsbMessages) {
  FakeCh375 failing;
  failing.notifyFails = true;
  TForm1 unmonitored(nullptr, link::SystemSerialPlatform(), failing);
  unmonitored.SetMessagePresenter(messages);  // the message comes once the loop runs
  usb.openFails = true;
  usb.Post(0);
  usb.Post(3);
  ASSERT_TRUE(QTest::qWaitFor([&] { return messages.shown.size() == 2; }, 5000));
  std::sort(messages.shown.begin(), messages.shown.end());  // two windows: either may speak first
  EXPECT_EQ(messages.shown,
            (std::vector<QString>{"无法打开CH375设备", "设置监视CH372/CH375设备插拔失败"}));
}

TEST_F(UsbSendTest, ClosingDuringATransferEndsIt) {
  usb.Hold();
  Get<QLineEdit>("Edit1")->setText("FREQ");
  Click("btn96");
  ASSERT_TRUE(QTest::qWaitFor([&] { return usb.Calls().back() == "Write 0 5"; }, 5000));
  form->close();
  EXPECT_FALSE(form->Sending());
  QTest::qWait(20);  // a result left behind would show now
  EXPECT_TRUE(Reply().isEmpty());
  const Calls calls = usb.Calls();
  const auto closing = std::find(calls.begin(), calls.end(), "Notify 0 \"\" none");
  ASSERT_NE(closing, calls.end());
  EXPECT_EQ(Calls(closing, closing + 3),
            (Calls{"Notify 0 \"\" none", "IntRoutine 0 none", kClose}));
}

// Seeded bridge faults during a run of sends: every send ends with Send
// enabled again, a failed write is said once, a reply shows only what the
// instrument sent, and closing leaves no thread behind.
TEST(UsbFaults, SeededFaultsDuringSends) {
  struct Recorder : MessagePresenter {
    void Present(const OperatorMessage& message, std::function<void()> answered) override {
      failures += message.text == "发送失败!";
      answered();
    }
    int failures = 0;
  };
  // Every thread of the process: the transfer threads have no name to count by.
  auto threads = [] {
    return std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                         std::filesystem::directory_iterator());
  };
  const auto before = threads();
  for (unsigned seed = 1; seed <= 5; ++seed) {
    SCOPED_TRACE(seed);
    sim::SimulatedCh375 instrument;
    FaultyCh375 usb(instrument, seed, [&] { instrument.Unplug(); });
    Recorder messages;
    {
      TForm1 form(nullptr, link::SystemSerialPlatform(), usb);
      form.SetMessagePresenter(messages);
      qobject_cast<RadioGroup*>(form.Control("rg2"))->SetItemIndex(1);
      auto* reply = qobject_cast<QLineEdit*>(form.Control("Edit3"));
      for (int i = 0; i < 30; ++i) {
        if (form.Usb().DeviceHandle() == link::kInvalidDeviceHandle) {
          instrument.Plug();
          ASSERT_TRUE(QTest::qWaitFor(
              [&] { return form.Usb().DeviceHandle() != link::kInvalidDeviceHandle; }, 5000));
        }
        qobject_cast<QLineEdit*>(form.Control("Edit1"))->setText("CHA:VPP:1Vpp");
        qobject_cast<QPushButton*>(form.Control("btn96"))->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !form.Sending(); }, 5000));
        EXPECT_TRUE(form.Control("btn96")->isEnabled());
        EXPECT_TRUE(QString::fromUtf8("接收:OK\n").startsWith(reply->text()))
            << reply->text().toStdString();
        QCoreApplication::processEvents();  // a removal the transfer held back
      }
      form.close();
    }
    EXPECT_EQ(messages.failures, usb.timedOut + usb.gone);
    EXPECT_GT(usb.timedOut + usb.gone + usb.cut, 0) << "the seed injected nothing";
  }
  EXPECT_EQ(threads(), before);
}

}  // namespace
}  // namespace zrt::window::testing
