// The port under the component, on whichever system the tests run: when its
// threads report a hang-up, and a port joined back to back with another
// (tools/port_pair/run names them), opened as the component opens it, the
// other end opened the same way and played as the instrument.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "link/port/comm_events.h"
#include "link/port/comm_port.h"
#include "link/port/comm_threads.h"
#include "notifications.h"
#include "sim/frame_reader.h"
#include "sim/instrument_model.h"

namespace zrt::link {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

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

// When a thread's failure is a hang-up: once per opening, and never once the
// owner has asked the threads to stop (the close itself cancels what they
// were doing, as PurgeComm does to an overlapped write on Windows).
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

// The instrument's end: read and written directly, without threads.
class Peer {
 public:
  explicit Peer(const std::string& name) {
    SerialPlatform::OpenResult opened = SystemSerialPlatform().Open(name);
    device_ = std::move(opened.device);
    if (!device_) return;
    CommProperties raw;
    raw.outxXonXoffFlow = raw.inxXonXoffFlow = false;  // XON and XOFF are sent as bytes
    device_->ApplyState(BuildCommState(raw));
    SysError error;
    stop_ = SystemSerialPlatform().CreateStopEvent(error);
  }
  bool IsOpen() const { return device_ != nullptr; }

  // The frames that arrive until `count` are complete or `timeout` passes.
  std::vector<sim::FrameReader::Frame> Frames(std::size_t count,
                                              std::chrono::milliseconds timeout) {
    std::vector<sim::FrameReader::Frame> frames;
    const auto until = Clock::now() + timeout;
    std::uint8_t buffer[256];
    while (frames.size() < count) {
      const WaitResult wait = device_->Wait(SerialDevice::Direction::Read, until, *stop_);
      ended_ = wait;
      if (wait.kind != WaitResult::Ready && wait.kind != WaitResult::LineEvent) break;
      const IoResult read = device_->Read(buffer);
      if (read.status != IoResult::Done) continue;
      const auto now = Clock::now();
      for (auto& frame :
           reader_.Take(std::string_view(reinterpret_cast<const char*>(buffer), read.count), now)) {
        frames.push_back(std::move(frame));
      }
    }
    return frames;
  }

  // How the last wait for frames ended, for a test that got too few.
  std::string WaitEnded() const {
    static const char* const kKinds[] = {"ready",   "line event", "timeout",
                                         "stopped", "hung up",    "failed"};
    return std::string(kKinds[ended_.kind]) + " " + ended_.error.reason;
  }

  // Whether any byte arrives within `timeout`.
  bool Quiet(std::chrono::milliseconds timeout) {
    const WaitResult wait =
        device_->Wait(SerialDevice::Direction::Read, Clock::now() + timeout, *stop_);
    return wait.kind == WaitResult::Timeout;
  }

  void Send(std::string_view bytes) {
    auto rest = std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    while (!rest.empty()) {
      const IoResult write = device_->Write(rest);
      if (write.status == IoResult::Done) {
        rest = rest.subspan(write.count);
      } else if (write.status == IoResult::WouldBlock) {
        device_->Wait(SerialDevice::Direction::Write, Clock::now() + 2s, *stop_);
      } else {
        ADD_FAILURE() << "the peer cannot write";
        return;
      }
    }
    device_->WaitUntilSent(Clock::now() + 2s, *stop_);
  }

 private:
  std::unique_ptr<SerialDevice> device_;
  std::unique_ptr<StopEvent> stop_;
  sim::FrameReader reader_;
  WaitResult ended_{WaitResult::Timeout};
};

class PortPairTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* port = std::getenv("ZRT_TEST_PORT");
    const char* peer = std::getenv("ZRT_TEST_PEER");
    if (!port || !peer || !std::getenv("ZRT_TEST_HANGUP")) {
      GTEST_SKIP() << "run through tools/port_pair/run";
    }
    properties.commName = port;
    properties.baudRate = 19200;
    this->peer = std::make_unique<Peer>(peer);
    ASSERT_TRUE(this->peer->IsOpen()) << "the peer " << peer << " does not open";
  }

  void Open(std::chrono::microseconds gap = 0us) {
    port = CommPort::Open(SystemSerialPlatform(), properties, notifications.Sink(), gap);
    ASSERT_FALSE(port->OpenSettingsError()) << port->OpenSettingsError().reason;
  }
  void PostBytewise(std::string_view frame) {
    for (char c : frame) ASSERT_TRUE(port->Post(ByteBlock(1, c)));
  }

  CommProperties properties;
  Notifications notifications;
  std::unique_ptr<Peer> peer;
  std::unique_ptr<CommPort> port;
};

// The request goes out a byte at a time, 10 ms apart, as the panel sends it;
// the instrument's reply comes back as one block once the line is quiet.
TEST_F(PortPairTest, PacedRequestsAndTheirReplies) {
  Open(10ms);
  sim::InstrumentModel instrument;
  const std::pair<std::string_view, std::string_view> exchanges[] = {
      {"XCHA:AFREQ:1000HZ\n", "OK\n"},
      {"XCHA:AFREQ?\n", "1000HZ\n"},
  };
  std::uint32_t blocks = 0;
  for (const auto& [request, reply] : exchanges) {
    const auto start = Clock::now();
    PostBytewise(request);
    blocks += static_cast<std::uint32_t>(request.size());
    const auto frames = peer->Frames(1, 5s);
    ASSERT_EQ(frames.size(), 1u) << peer->WaitEnded();
    EXPECT_EQ(frames[0].bytes + "\n", request);
    // Paced, the frame takes its 10 ms a byte; a busy machine may only make
    // it longer (it may also make the reader take two bytes at once, so
    // their spacing as read is no measure).
    EXPECT_GE(Clock::now() - start, (request.size() - 1) * 10ms) << request;

    peer->Send(instrument.Answer(frames[0].bytes));
    const auto data = notifications.Next(UM_RECEIVE_DATA);
    ASSERT_TRUE(data);
    EXPECT_EQ(data->block, reply) << "one block after the line is quiet";
  }
  std::optional<Notifications::Item> empty;
  while ((empty = notifications.Next(UM_SEND_DATA_EMPTY, 2s)) &&
         empty->notification.value != blocks) {
  }
  ASSERT_TRUE(empty) << "every block is reported sent";
}

// The instrument's XOFF holds output back, and it is said; XON lets it go.
TEST_F(PortPairTest, XoffHoldsOutputUntilXon) {
  Open();
  peer->Send("\x13");
  EXPECT_TRUE(peer->Quiet(200ms));
  PostBytewise("XSYS?\n");
  const auto held = notifications.Next(UM_OUTPUT_HELD);
  ASSERT_TRUE(held);
  EXPECT_EQ(held->notification.value, 1u);
  EXPECT_TRUE(peer->Quiet(300ms)) << "nothing leaves while held";

  peer->Send("\x11");
  const auto frames = peer->Frames(1, 5s);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].bytes, "XSYS?");
  const auto going = notifications.Next(UM_OUTPUT_HELD);
  ASSERT_TRUE(going);
  EXPECT_EQ(going->notification.value, 0u);
}

// The carrier dropping and coming back are line events. Only where the
// runner can drop it (wine, through the modem-line shim: ZRT_TEST_CARRIER_OFF
// names the file that drops it); a pseudo-terminal has none.
TEST_F(PortPairTest, CarrierChangesAreLineEvents) {
  const char* carrierOff = std::getenv("ZRT_TEST_CARRIER_OFF");
  if (!carrierOff) GTEST_SKIP() << "this system's runner cannot drop the carrier";
  Open();
  peer->Send("OK\n");  // the reader is running once this arrives
  ASSERT_TRUE(notifications.Next(UM_RECEIVE_DATA));
  for (bool drop : {true, false}) {
    if (drop) {
      std::ofstream(carrierOff).put('\n');
    } else {
      std::remove(carrierOff);
    }
    const auto change = notifications.Next(UM_MODEM_STATE_CHANGE);
    ASSERT_TRUE(change) << (drop ? "dropped" : "back");
    EXPECT_EQ(change->notification.value, kModemCarrier);
  }
  EXPECT_FALSE(notifications.Next(UM_MODEM_STATE_CHANGE, 200ms)) << "each change said once";
}

// The line going away is a hang-up, said once.
TEST_F(PortPairTest, TheLineGoingIsAHangUp) {
  Open();
  PostBytewise("XSYS?\n");
  ASSERT_EQ(peer->Frames(1, 5s).size(), 1u);
  std::ofstream(std::getenv("ZRT_TEST_HANGUP")).put('\n');
  ASSERT_TRUE(notifications.Next(UM_REQUEST_HANGUP, 10s));
  EXPECT_FALSE(notifications.Next(UM_REQUEST_HANGUP, 300ms)) << "said once";
  port.reset();  // closes without waiting on the gone port
}

}  // namespace
}  // namespace zrt::link
