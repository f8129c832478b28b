// Measures sending from the real window to a pseudo-terminal:
//   the spacing of a line's bytes on the wire, the length of a frame, and
//   how long the window's event loop goes without running while lines go
//   out and while Send is held after a sweep trigger. Meanwhile LOAD
//   processes (one per core by default) keep the cores busy, and the
//   instrument's side reads at real-time priority where it may (as root),
//   so that the spacing is the panel's and not the reader's. Last, with the
//   load let go, the cost of an entry added to the shown session log, and
//   what a sequence's run adds to each line. Last, with the
//   load let go, the cost of an entry added to the shown session log.
//
//   bench-send [--json] [--sends N] [--load N]
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryFile>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <mutex>
#include <numeric>
#include <optional>
#include <thread>

#include "bench_support.h"
#include "window/send/sequence_bar.h"
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

// Processes that keep a core busy each, until they are let go.
class BusyCores {
 public:
  explicit BusyCores(int count) {
    for (int i = 0; i < count; ++i) {
      const pid_t pid = fork();
      if (pid == 0) {
        volatile unsigned long spins = 0;
        for (;;) spins = spins + 1;
      }
      if (pid > 0) children_.push_back(pid);
    }
  }
  ~BusyCores() {
    for (pid_t pid : children_) kill(pid, SIGKILL);
    for (pid_t pid : children_) waitpid(pid, nullptr, 0);
  }
  int Count() const { return static_cast<int>(children_.size()); }

 private:
  std::vector<pid_t> children_;
};

// Each byte that reaches the instrument's side, with when it came.
class WireClock {
 public:
  explicit WireClock(int fd)
      : thread_([this, fd](std::stop_token stop) {
          // Real-time where the system allows it, so that a busy machine
          // does not delay the timestamps; refused, it reads as it is.
          sched_param realtime{};
          realtime.sched_priority = sched_get_priority_min(SCHED_FIFO) + 10;
          realTime_ = pthread_setschedparam(pthread_self(), SCHED_FIFO, &realtime) == 0;
          while (!stop.stop_requested()) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 20) != 1 || !(p.revents & POLLIN)) continue;
            char byte;
            if (read(fd, &byte, 1) != 1) continue;
            {
              std::lock_guard lock(mutex_);
              arrivals_.push_back(Clock::now());
            }
            if (byte == '\n' && answer_) zrt::bench::WriteAll(fd, "0\n", 2);
          }
        }) {}

  // The arrivals so far, taken out.
  std::vector<Clock::time_point> Take() {
    std::lock_guard lock(mutex_);
    return std::exchange(arrivals_, {});
  }
  bool RealTime() const { return realTime_.load(); }
  // Plays the instrument from now on: "0" and a line feed to every line.
  void AnswerEachLine() { answer_ = true; }

 private:
  std::atomic<bool> realTime_{false};
  std::atomic<bool> answer_{false};
  std::mutex mutex_;
  std::vector<Clock::time_point> arrivals_;
  std::jthread thread_;
};

// Runs 100 lines of "X?" from a sequence file, the wire's side answering
// each at once, and returns the mean time between one line's last byte and
// the next line's first beyond the reply's quiet time (the port's read
// interval): what a sequence adds to each line. -1 when the run did not
// complete.
double SequenceOverheadMs(zrt::window::TForm1& form, WireClock& wire) {
  using zrt::sequence::Runner;
  QTemporaryFile file;
  if (!file.open()) return -1;
  file.write("repeat 100\n  X?\nend\n");
  file.close();
  // The file is read off the window's thread: the run starts once it is in.
  std::optional<bool> taken;
  const auto loaded = QObject::connect(&form.Sequences(), &zrt::window::SequenceBar::LoadFinished,
                                       [&](bool ok) { taken = ok; });
  if (!form.Sequences().Load(file.fileName())) return -1;
  while (!taken) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  QObject::disconnect(loaded);
  if (!*taken) return -1;
  wire.Take();
  wire.AnswerEachLine();
  std::optional<Runner::Outcome> outcome;
  QObject::connect(&form.Sequences().Runner(), &Runner::Finished,
                   [&](Runner::Outcome o, int) { outcome = o; });
  form.Sequences().Runner().Run();
  while (!outcome) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  const std::vector<Clock::time_point> bytes = wire.Take();
  if (outcome != Runner::Outcome::Completed || bytes.size() != 300) return -1;
  double between = 0;
  for (std::size_t line = 0; line + 1 < 100; ++line) {
    between += Ms(bytes[3 * line + 3] - bytes[3 * line + 2]);
  }
  return between / 99 - form.Comm1().ReadIntervalTimeout();
}

}  // namespace

int main(int argc, char** argv) {
  bool json = false;
  int sends = 20;
  int load = static_cast<int>(std::thread::hardware_concurrency());
  if (!zrt::bench::ParseArguments(argc, argv, json, {{"--sends", &sends}, {"--load", &load, 0}},
                                  "usage: bench-send [--json] [--sends N] [--load N]")) {
    return 2;
  }
  // Forked before Qt starts any thread.
  std::optional<BusyCores> busy(std::in_place, load);
  const int busyCount = busy->Count();
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

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

  // The log shown and full: one more entry, drawn, costs what one did at
  // first. This is the log's own cost, so the cores are let go first.
  busy.reset();
  form.SetLogShown(true);
  for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();
  zrt::window::SessionLog& log = form.Log();
  const zrt::window::LogEntry entry{QDateTime::currentDateTime(),
                                    zrt::window::LogEntry::Kind::Received,
                                    "COM1",
                                    "CHA:AFREQ:1000HZ\n",
                                    {},
                                    false,
                                    false};
  auto appendOne = [&] {
    const auto start = Clock::now();
    log.Append(entry);
    QCoreApplication::processEvents();
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
  };
  std::vector<double> appendsEarly;
  for (int i = 0; i < 200; ++i) appendsEarly.push_back(appendOne());
  while (log.Size() < zrt::window::SessionLog::kDefaultCapacity) log.Append(entry);
  QCoreApplication::processEvents();
  std::vector<double> appendsFull;
  for (int i = 0; i < 1000; ++i) appendsFull.push_back(appendOne());
  const double appendEarlyP99 = Percentile(appendsEarly, 0.99);
  const double appendFullP99 = Percentile(appendsFull, 0.99);

  // A sequence of 100 short queries: what it adds between one line and the
  // next, beyond the reply's quiet time.
  const double sequenceOverhead = SequenceOverheadMs(form, wire);

  const double gapMean = std::accumulate(gaps.begin(), gaps.end(), 0.0) / gaps.size();
  const double gapMin = *std::min_element(gaps.begin(), gaps.end());
  const double gapP99 = Percentile(gaps, 0.99);
  const double frameMean = std::accumulate(frames.begin(), frames.end(), 0.0) / frames.size();
  if (json) {
    std::printf(
        "{\"gap_min_ms\": %.2f, \"gap_mean_ms\": %.2f, \"gap_p99_ms\": %.2f, "
        "\"frame_ms_mean\": %.1f, \"ui_stall_ms_max\": %.1f, \"sends\": %d, "
        "\"lost_bytes\": %lld, \"busy_processes\": %d, \"reader_realtime\": %s, "
        "\"log_append_us_p99_at_200\": %.0f, \"log_append_us_p99\": %.0f, "
        "\"sequence_overhead_ms\": %.2f}\n",
        gapMin, gapMean, gapP99, frameMean, stallMax, sends, lost, busyCount,
        wire.RealTime() ? "true" : "false", appendEarlyP99, appendFullP99, sequenceOverhead);
  } else {
    std::printf("load:     %d busy processes; instrument's side read %s\n", busyCount,
                wire.RealTime() ? "at real-time priority" : "at normal priority");
    std::printf(
        "byte gap: min %.2f ms (target >= 9.9), mean %.2f ms (target 10.0-10.5), p99 %.2f ms\n",
        gapMin, gapMean, gapP99);
    std::printf("frame:    %.1f ms from first byte to line feed (target <= 215)\n", frameMean);
    std::printf(
        "window:   longest %.1f ms without the event loop running (target <= 20 without "
        "load)\n",
        stallMax);
    std::printf("          %d sends of 20 characters, %lld bytes missing (target 0)\n", sends,
                lost);
    std::printf(
        "log:      without load, an entry appended and shown, p99 %.0f us at 100 000 entries "
        "(target <= "
        "200), %.0f us at 200\n",
        appendFullP99, appendEarlyP99);
    std::printf(
        "sequence: %.2f ms per line between a line's last byte and the next's first, beyond "
        "the reply's quiet time (target <= 2)\n",
        sequenceOverhead);
  }
  return 0;
}
