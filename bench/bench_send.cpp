// Measures sending from the real window to a pseudo-terminal:
//   the spacing of a line's bytes on the wire, the length of a frame, and
//   how long the window's event loop goes without running while lines go
//   out and while Send is held after a sweep trigger.
//
//   bench-send [--json] [--sends N]
#include <poll.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <mutex>
#include <numeric>
#include <thread>

#include "bench_support.h"
#include "window_driving.h"

namespace {

using Clock = std::chrono::steady_clock;
using zrt::bench::Answering;
using zrt::bench::Find;
using zrt::bench::Percentile;
using zrt::bench::Pty;
using zrt::bench::SendAndWait;
using zrt::bench::StallProbe;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Each byte that reaches the instrument's side, with when it came.
class WireClock {
 public:
  explicit WireClock(int fd)
      : thread_([this, fd](std::stop_token stop) {
          while (!stop.stop_requested()) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 20) != 1 || !(p.revents & POLLIN)) continue;
            char byte;
            if (read(fd, &byte, 1) != 1) continue;
            std::lock_guard lock(mutex_);
            arrivals_.push_back(Clock::now());
          }
        }) {}

  // The arrivals so far, taken out.
  std::vector<Clock::time_point> Take() {
    std::lock_guard lock(mutex_);
    return std::exchange(arrivals_, {});
  }

 private:
  std::mutex mutex_;
  std::vector<Clock::time_point> arrivals_;
  std::jthread thread_;
};

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  bool json = false;
  int sends = 20;
  if (!zrt::bench::ParseArguments(argc, argv, json, {{"--sends", &sends}},
                                  "usage: bench-send [--json] [--sends N]")) {
    return 2;
  }

  Pty pty;
  Answering answering("bench-send");
  zrt::window::TForm1 form;
  form.SetMessagePresenter(answering);
  form.show();
  Find<QComboBox>(form, "cbo1")->setEditText(QString::fromStdString(pty.path));
  Find<QPushButton>(form, "btn106")->click();
  if (!form.PortOpen()) return 1;

  WireClock wire(pty.master);
  const QString line = "AFREQ:1000.000000KHZ";  // 20 characters, no address in it
  std::vector<double> gaps;
  std::vector<double> frames;
  long long lost = 0;
  StallProbe stalls;
  for (int i = 0; i < sends; ++i) {
    SendAndWait(form, line);
    // The line feed went out a pause before Send came back; give the
    // instrument's side a moment to have read it.
    std::vector<Clock::time_point> bytes;
    for (int wait = 0; wait < 50 && bytes.size() < 21; ++wait) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      auto more = wire.Take();
      bytes.insert(bytes.end(), more.begin(), more.end());
    }
    lost += 21 - static_cast<long long>(bytes.size());
    for (std::size_t b = 1; b < bytes.size(); ++b) gaps.push_back(Ms(bytes[b] - bytes[b - 1]));
    if (bytes.size() >= 2) frames.push_back(Ms(bytes.back() - bytes.front()));
  }
  SendAndWait(form, "88ASWP:TRIGG");  // and the hold after it
  const double stallMax = stalls.LongestMs();

  const double gapMean = std::accumulate(gaps.begin(), gaps.end(), 0.0) / gaps.size();
  const double gapP99 = Percentile(gaps, 0.99);
  const double frameMean = std::accumulate(frames.begin(), frames.end(), 0.0) / frames.size();
  if (json) {
    std::printf(
        "{\"gap_mean_ms\": %.2f, \"gap_p99_ms\": %.2f, \"frame_ms_mean\": %.1f, "
        "\"ui_stall_ms_max\": %.1f, \"sends\": %d, \"lost_bytes\": %lld}\n",
        gapMean, gapP99, frameMean, stallMax, sends, lost);
  } else {
    std::printf("byte gap: mean %.2f ms (target 10.0 +- 0.3), p99 %.2f ms (target <= 12)\n",
                gapMean, gapP99);
    std::printf("frame:    %.1f ms from first byte to line feed (target <= 215)\n", frameMean);
    std::printf("window:   longest %.1f ms without the event loop running (target <= 20)\n",
                stallMax);
    std::printf("          %d sends of 20 characters, %lld bytes missing (target 0)\n", sends,
                lost);
  }
  return 0;
}
