// A long run of the window's send and receive path against the simulated
// instrument on both links, offscreen, with each link pulled and restored
// at random every few dozen sends and reopened as an operator would.
//
//   soak [--json] [--sends N] [--seed S]
//
// Prints what was sent and answered, the bytes that went missing or arrived
// altered, and how descriptors, threads, memory and the window's event loop
// fared.
#include <QComboBox>
#include <QElapsedTimer>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "app/startup_report.h"
#include "bench_support.h"
#include "link/usb_link.h"
#include "protocol/send_steps.h"
#include "sim/pty_instrument.h"
#include "sim/simulated_ch375.h"
#include "window/form/radio_group.h"
#include "window_driving.h"

namespace {

using namespace zrt;
using app::ResidentKilobytes;
using bench::Find;

long Count(const char* folder) {
  long n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++n;
  return n;
}

// Runs the window's event loop until `done` holds or `ms` pass.
template <typename Condition>
bool RunUntil(Condition done, int ms) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < ms) {
    QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
  }
  return done();
}

// The frames the serial simulators heard, across every one of them.
class Heard {
 public:
  std::function<void(const std::string&)> Log() {
    return [this](const std::string& line) {
      if (!line.starts_with("<- ")) return;
      std::lock_guard lock(mutex_);
      frames_.push_back(line.substr(3));
    };
  }
  std::vector<std::string> Frames() const {
    std::lock_guard lock(mutex_);
    return frames_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> frames_;
};

struct Tally {
  long lost = 0, corrupted = 0;
};

// Frames expected against frames heard, in order, by bytes.
Tally Compare(const std::vector<std::string>& expected, const std::vector<std::string>& heard) {
  Tally tally;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    if (i >= heard.size()) {
      tally.lost += static_cast<long>(expected[i].size() + 1);
    } else if (heard[i] != expected[i]) {
      tally.corrupted += static_cast<long>(expected[i].size() + 1);
    }
  }
  return tally;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  bool json = false;
  int sends = 3000;
  int seed = 1;
  if (!bench::ParseArguments(argc, argv, json, {{"--sends", &sends}, {"--seed", &seed, INT_MIN}},
                             "usage: soak [--json] [--sends N] [--seed S]")) {
    return 2;
  }

  Heard heard;
  auto serial =
      std::make_unique<sim::PtyInstrument>(sim::PtyInstrument::Options{88, {}, heard.Log()});
  sim::SimulatedCh375 usb;
  bench::Answering answering("soak", true);
  window::TForm1 form(nullptr, link::SystemSerialPlatform(), usb);
  form.SetMessagePresenter(answering);
  form.show();
  form.SetLogShown(true);  // its memory counts too
  auto openSerial = [&] {
    Find<QComboBox>(form, "cbo1")->setEditText(QString::fromStdString(serial->TerminalPath()));
    Find<QPushButton>(form, "btn106")->click();
  };
  openSerial();
  RunUntil([&] { return form.Usb().DeviceHandle() != link::kInvalidDeviceHandle; }, 5000);

  std::mt19937 random(static_cast<unsigned>(seed));
  std::vector<std::string> expectedSerial;
  long repliesOk = 0;
  long fds = 0, threads = 0, rss = 0;
  int untilPull = 20 + static_cast<int>(random() % 40);
  bench::StallProbe stalls;
  for (int i = 0; i < sends; ++i) {
    if (i == 50) {  // after the warm-up: every cache filled, every thread there is
      fds = Count("/proc/self/fd");
      threads = Count("/proc/self/task");
      rss = ResidentKilobytes();
    }
    if (--untilPull == 0) {
      untilPull = 20 + static_cast<int>(random() % 40);
      if (random() % 2) {
        serial.reset();  // the cable is pulled: the panel closes the port
        RunUntil([&] { return !form.PortOpen(); }, 5000);
        serial =
            std::make_unique<sim::PtyInstrument>(sim::PtyInstrument::Options{88, {}, heard.Log()});
        openSerial();
      } else {
        usb.Unplug();
        RunUntil([&] { return form.Usb().DeviceHandle() == link::kInvalidDeviceHandle; }, 5000);
        usb.Plug();
        RunUntil([&] { return form.Usb().DeviceHandle() != link::kInvalidDeviceHandle; }, 5000);
      }
    }
    const bool overUsb = random() % 2;
    Find<window::RadioGroup>(form, "rg2")->SetItemIndex(overUsb ? 1 : 0);
    const QString line = QString("CHA:AFREQ:%1HZ").arg(i);
    bench::SendAndWait(form, line);
    if (!overUsb) {
      const QByteArray sent = protocol::SubstituteAddress(protocol::ToLine(line), "88", 'X');
      expectedSerial.push_back(sent.toStdString());
    }
    auto* reply = Find<QLineEdit>(form, "Edit3");
    if (RunUntil([&] { return reply->text() == QString::fromUtf8("接收:OK\n"); }, 2000))
      ++repliesOk;
    reply->clear();
  }
  const double stallMax = stalls.LongestMs();
  const Tally serialTally = Compare(expectedSerial, heard.Frames());
  const long usbFrames = static_cast<long>(usb.Frames().size());
  const long fdGrowth = Count("/proc/self/fd") - fds;
  const long threadGrowth = Count("/proc/self/task") - threads;
  const long rssGrowth = ResidentKilobytes() - rss;
  const long usbExpected = sends - static_cast<long>(expectedSerial.size());
  const long lost = serialTally.lost + std::max(0L, usbExpected - usbFrames);
  if (json) {
    std::printf(
        "{\"sends\": %d, \"replies_ok\": %ld, \"bytes_lost\": %ld, \"bytes_corrupted\": %ld, "
        "\"crashes\": 0, \"fd_growth\": %ld, \"thread_growth\": %ld, \"rss_growth_kb\": %ld, "
        "\"max_ui_stall_ms\": %.1f, \"messages\": %d}\n",
        sends, repliesOk, lost, serialTally.corrupted, fdGrowth, threadGrowth, rssGrowth, stallMax,
        answering.count);
  } else {
    std::printf("sends %d, replies %ld, bytes lost %ld, corrupted %ld (targets 0)\n", sends,
                repliesOk, lost, serialTally.corrupted);
    std::printf("growth: %ld descriptors, %ld threads (targets 0), %ld kB (target <= 1024)\n",
                fdGrowth, threadGrowth, rssGrowth);
    std::printf(
        "window: longest %.1f ms without the event loop running (target <= 50); %d messages\n",
        stallMax, answering.count);
  }
  return 0;
}
