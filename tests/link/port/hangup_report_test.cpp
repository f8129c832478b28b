// When a thread's failure is a hang-up: once per opening, and never once the
// owner has asked the threads to stop (the close itself cancels what they
// were doing, as PurgeComm does to an overlapped write on Windows).
#include <gtest/gtest.h>

#include <cerrno>

#include "link/port/comm_threads.h"
#include "notifications.h"

namespace zrt::link {
namespace {

// A port the threads never get to use.
class UnusedDevice : public SerialDevice {
  SysError SetupQueues(std::size_t, std::size_t) override { return {}; }
  void Purge(std::uint32_t) override {}
  SysError ApplyState(const CommState&) override { return {}; }
  SysError SetEventMask(std::uint32_t) override { return {}; }
  WaitResult Wait(Direction, Deadline, const StopEvent&) override { return {WaitResult::Stopped}; }
  IoResult Read(std::span<std::uint8_t>) override { return {IoResult::WouldBlock}; }
  IoResult Write(std::span<const std::uint8_t>) override { return {IoResult::WouldBlock}; }
  std::uint32_t ClearErrors(SysError&) override { return 0; }
};

TEST(HangupReport, OncePerOpeningAndNotWhileClosing) {
  struct Case {
    const char* what;
    bool stopRequested;
    int error;
    bool reported;
  };
  const Case cases[] = {
      {"an I/O error", false, EIO, true},
      {"a port closed underneath", false, EBADF, false},
      {"an I/O error while closing", true, EIO, false},
  };
  for (const Case& c : cases) {
    SysError error;
    const auto stop = SystemSerialPlatform().CreateStopEvent(error);
    ASSERT_TRUE(stop) << error.reason;
    if (c.stopRequested) stop->Set();
    Notifications notifications;
    HangupLatch latch;
    UnusedDevice device;
    const PortContext context{device, *stop, notifications.Sink(), latch};
    context.ReportEnd(SysError::FromErrno(c.error));
    context.ReportEnd(SysError::FromErrno(c.error));  // the other thread
    EXPECT_EQ(notifications.Next(UM_REQUEST_HANGUP, std::chrono::milliseconds(0)).has_value(),
              c.reported)
        << c.what;
    EXPECT_FALSE(notifications.Next(UM_REQUEST_HANGUP, std::chrono::milliseconds(0)))
        << c.what << ": said once";
  }
}

}  // namespace
}  // namespace zrt::link
