// The USB bridge library on real libusb, against a bridge emulated in a
// umockdev testbed: opening, writing, reading replies, unplugging, another
// program holding the device, plug notifications and closing mid-read.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QTest>
#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <mutex>
#include <optional>
#include <thread>

#include "bridge_emulator.h"
#include "link/ch375_libusb.h"
#include "link/usb_link.h"

namespace zrt::link::testing {
namespace {

using tools::BridgeEmulator;

using namespace std::chrono_literals;

class UsbBridgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!BridgeEmulator::Available()) GTEST_SKIP() << "umockdev's preload library is not in place";
  }

  bool Write(const QByteArray& frame) {
    auto length = static_cast<std::uint32_t>(frame.size());
    return library.CH375WriteData(0, frame.constData(), &length);
  }
  QByteArray Reply() {
    QByteArray reply;
    QByteArray line = "FREQ";
    library.SetCH372(reply, line);
    return reply;
  }

  BridgeEmulator bridge;
  LibusbCh375 library{LibusbCh375::PlugSource::Rescan};
};

TEST_F(UsbBridgeTest, WritesAndRepliesOnTheBulkEndpoints) {
  EXPECT_EQ(library.CH375OpenDevice(0), kInvalidDeviceHandle) << "nothing plugged in";
  bridge.Plug();
  ASSERT_NE(library.CH375OpenDevice(0), kInvalidDeviceHandle);
  EXPECT_TRUE(bridge.Claimed());
  library.CH375SetTimeout(0, 500, 300);

  ASSERT_TRUE(Write("88ASWP:TRIGG\n"));
  EXPECT_EQ(bridge.Written(), std::vector<QByteArray>{"88ASWP:TRIGG\n"});

  QByteArray large;
  for (int i = 0; i < 5000; ++i) large.append(static_cast<char>(i % 251));
  for (const QByteArray& queued : {QByteArray("OK\r\n"), QByteArray(), large}) {
    bridge.QueueReply(queued);
    EXPECT_EQ(Reply(), queued) << queued.size();
  }

  library.CH375CloseDevice(0);
  EXPECT_FALSE(bridge.Claimed());
  EXPECT_FALSE(Write("X\n")) << "closed";
  EXPECT_TRUE(Reply().isEmpty());

  bridge.HoldElsewhere(true);
  EXPECT_EQ(library.CH375OpenDevice(0), kInvalidDeviceHandle) << "another program has it";
  bridge.HoldElsewhere(false);
  EXPECT_NE(library.CH375OpenDevice(0), kInvalidDeviceHandle);
}

// A write the device takes only in part is no success.
TEST_F(UsbBridgeTest, AShortWriteFails) {
  bridge.Plug();
  ASSERT_NE(library.CH375OpenDevice(0), kInvalidDeviceHandle);
  bridge.AcceptAtMost(4);
  EXPECT_FALSE(Write("CHA:FREQ\n"));
  EXPECT_EQ(bridge.Written(), std::vector<QByteArray>{"CHA:"});
}

// A reply is read until the device has been quiet for 100 ms: a pause
// shorter than that inside it does not cut it.
TEST_F(UsbBridgeTest, AReplyWithAPauseInsideComesWhole) {
  bridge.Plug();
  ASSERT_NE(library.CH375OpenDevice(0), kInvalidDeviceHandle);
  bridge.QueueReply("CHA:FREQ:");
  bridge.QueueReply("1000HZ\r\n", 20ms);
  EXPECT_EQ(Reply(), "CHA:FREQ:1000HZ\r\n");
}

TEST_F(UsbBridgeTest, UnpluggedDeviceFailsItsTransfers) {
  bridge.Plug();
  ASSERT_NE(library.CH375OpenDevice(0), kInvalidDeviceHandle);
  bridge.Unplug();
  EXPECT_FALSE(Write("FREQ\n"));
  EXPECT_TRUE(Reply().isEmpty());
  library.CH375CloseDevice(0);
}

TEST_F(UsbBridgeTest, ClosingEndsAReadUnderWay) {
  bridge.Plug();
  ASSERT_NE(library.CH375OpenDevice(0), kInvalidDeviceHandle);
  library.CH375SetTimeout(0, 3000, 60000);
  auto reading = std::async(std::launch::async, [&] { return Reply(); });
  std::this_thread::sleep_for(50ms);  // let the read start; it would end by the close anyway
  // The read would wait a minute; the close must not.
  auto closing = std::async(std::launch::async, [&] { library.CH375CloseDevice(0); });
  ASSERT_EQ(closing.wait_for(10s), std::future_status::ready) << "the close waited for the read";
  ASSERT_EQ(reading.wait_for(10s), std::future_status::ready) << "the read went on";
  EXPECT_TRUE(reading.get().isEmpty());
}

// The device state over the real library: a bridge pulled and plugged in
// again is opened again by itself, and a line then goes out.
TEST_F(UsbBridgeTest, ARepluggedBridgeIsReopenedAndTakesALine) {
  bridge.Plug();
  UsbLink usb(library);
  ASSERT_TRUE(usb.Start());
  ASSERT_NE(usb.DeviceHandle(), kInvalidDeviceHandle);
  bridge.Unplug();
  ASSERT_TRUE(QTest::qWaitFor([&] { return usb.DeviceHandle() == kInvalidDeviceHandle; }, 5000));
  bridge.Plug();
  ASSERT_TRUE(QTest::qWaitFor([&] { return usb.DeviceHandle() != kInvalidDeviceHandle; }, 5000));
  bridge.QueueReply("1000HZ\n");
  std::optional<bool> written;
  QByteArray reply;
  QObject::connect(&usb, &UsbLink::Transferred,
                   [&](bool ok, const QByteArray& r, const QByteArray&) {
                     written = ok;
                     reply = r;
                   });
  usb.Transfer("CHA:AFREQ?\n", "CHA:AFREQ?");
  ASSERT_TRUE(QTest::qWaitFor([&] { return written.has_value(); }, 10000));
  EXPECT_TRUE(*written);
  EXPECT_EQ(reply, "1000HZ\n");
  EXPECT_EQ(bridge.Written().back(), "CHA:AFREQ?\n");
  usb.Close();
}

// Both ways of learning of plug events, with the device there at the start.
TEST_F(UsbBridgeTest, PlugNotificationsFollowTheBus) {
  for (auto source : {LibusbCh375::PlugSource::Rescan, LibusbCh375::PlugSource::HotplugCallbacks}) {
    SCOPED_TRACE(source == LibusbCh375::PlugSource::Rescan ? "rescans" : "hot-plug callbacks");
    LibusbCh375 watched(source);
    std::mutex mutex;
    std::vector<std::uint32_t> codes;
    auto seen = [&] {
      std::lock_guard lock(mutex);
      return codes;
    };
    auto waitFor = [&](std::size_t count) {
      for (int i = 0; i < 100 && seen().size() < count; ++i) std::this_thread::sleep_for(50ms);
      return seen();
    };
    bridge.Plug();
    ASSERT_TRUE(watched.CH375SetDeviceNotify(0, "", [&](std::uint32_t code) {
      std::lock_guard lock(mutex);
      codes.push_back(code);
    }));
    EXPECT_EQ(seen(), std::vector<std::uint32_t>{kPlugArrived}) << "present at the start";
    bridge.Unplug();
    EXPECT_EQ(waitFor(2), (std::vector<std::uint32_t>{kPlugArrived, kPlugRemoved}));
    bridge.Plug();
    EXPECT_EQ(waitFor(3), (std::vector<std::uint32_t>{kPlugArrived, kPlugRemoved, kPlugArrived}));
    // Pulled and plugged in again at once, between two rescans: the bus gives
    // it another address.
    bridge.Unplug();
    bridge.Plug(3);
    EXPECT_EQ(waitFor(5), (std::vector<std::uint32_t>{kPlugArrived, kPlugRemoved, kPlugArrived,
                                                      kPlugRemoved, kPlugArrived}));
    EXPECT_NE(watched.CH375OpenDevice(0), kInvalidDeviceHandle);
    watched.CH375CloseDevice(0);
    EXPECT_TRUE(watched.CH375SetDeviceNotify(0, "", {}));
    bridge.Unplug();
    std::this_thread::sleep_for(1500ms);  // a rescan or a callback would have come
    EXPECT_EQ(seen().size(), 5u) << "notifications are off";
  }
}

}  // namespace
}  // namespace zrt::link::testing
