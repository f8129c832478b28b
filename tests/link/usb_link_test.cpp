// The USB device's states: plug events as they come, one after another on
// the owner's thread, the start and close sequences, and transfers.
#include "link/usb_link.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>

#include "fake_ch375.h"

namespace zrt::link::testing {
namespace {

using Calls = std::vector<std::string>;

const std::string kOpen = "Open 0";
const std::string kClose = "Close 0";
const std::string kTimeouts = "Timeout 0 3000 3000";
const std::string kNotify = "Notify 0 \"\" routine";

// Runs the posted events through the event loop.
void Settle() { QCoreApplication::processEvents(); }

TEST(UsbLink, PlugEvents) {
  enum Step { Plug, Unplug, FailingPlug, Code7, Code65539 };
  struct Case {
    const char* name;
    bool presentAtStart;
    std::vector<Step> steps;
    Calls after;  // calls after the start sequence
    bool openAtEnd;
    int openFailures;
  };
  const Case cases[] = {
      {"present at start", true, {}, {}, true, 0},
      {"plugged in later", false, {Plug}, {kOpen, kTimeouts}, true, 0},
      {"unplugged and plugged again", true, {Unplug, Plug}, {kClose, kOpen, kTimeouts}, true, 0},
      {"two arrivals", false, {Plug, Plug}, {kOpen, kTimeouts}, true, 0},
      {"removal while closed", false, {Unplug}, {}, false, 0},
      {"other codes", false, {Code7}, {}, false, 0},
      {"a key carries the low 16 bits", false, {Code65539}, {kOpen, kTimeouts}, true, 0},
      {"failed open, then a good one",
       false,
       {FailingPlug, Plug},
       {kOpen, kOpen, kTimeouts},
       true,
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeCh375 library;
    library.present = c.presentAtStart;
    UsbLink usb(library);
    QSignalSpy failures(&usb, &UsbLink::OpenFailed);
    ASSERT_TRUE(usb.Start());
    Settle();
    const std::size_t started = library.Calls().size();
    for (Step step : c.steps) {
      library.present = step != Unplug;
      library.openFails = step == FailingPlug;
      library.Post(step == Unplug ? 0 : step == Code7 ? 7 : step == Code65539 ? 65539 : 3);
      Settle();
    }
    const Calls calls = library.Calls();
    EXPECT_EQ(Calls(calls.begin() + started, calls.end()), c.after);
    EXPECT_EQ(usb.DeviceHandle() != kInvalidDeviceHandle, c.openAtEnd);
    EXPECT_EQ(failures.size(), c.openFailures);
  }
}

TEST(UsbLink, StartAndCloseSequences) {
  FakeCh375 library;
  library.present = true;
  UsbLink usb(library);
  ASSERT_TRUE(usb.Start());
  usb.Close();
  library.Post(0);  // notifications are off: nothing comes
  Settle();
  EXPECT_EQ(library.Calls(),
            (Calls{kNotify, kOpen, kTimeouts, "Notify 0 \"\" none", "IntRoutine 0 none", kClose}));
  EXPECT_FALSE(library.Notifying());

  // Events the library posted before the close sequence are not handled after it.
  FakeCh375 late;
  UsbLink closing(late);
  ASSERT_TRUE(closing.Start());
  Settle();
  late.present = true;
  late.Post(kPlugArrived);
  closing.Close();
  Settle();
  EXPECT_EQ(late.Calls().back(), kClose);
  EXPECT_EQ(closing.DeviceHandle(), kInvalidDeviceHandle);

  FakeCh375 absent;
  absent.notifyFails = true;
  UsbLink unmonitored(absent);
  EXPECT_FALSE(unmonitored.Start()) << "the monitor could not be set up";
  EXPECT_EQ(unmonitored.DeviceHandle(), kInvalidDeviceHandle);
}

// A plug event that comes during a transfer waits for its end.
TEST(UsbLink, EventsWaitForTheTransfer) {
  FakeCh375 library;
  library.present = true;
  UsbLink usb(library);
  usb.Start();
  Settle();
  QSignalSpy done(&usb, &UsbLink::Transferred);
  library.Hold();
  usb.Transfer("F\n", "F");
  library.Post(0);
  Settle();
  EXPECT_NE(usb.DeviceHandle(), kInvalidDeviceHandle);
  library.Release();
  ASSERT_TRUE(done.wait(5000));
  Settle();
  EXPECT_EQ(usb.DeviceHandle(), kInvalidDeviceHandle);
  const Calls calls = library.Calls();
  EXPECT_EQ(Calls(calls.end() - 3, calls.end()), (Calls{"Write 0 2", "Reply F", kClose}));
}

}  // namespace
}  // namespace zrt::link::testing
