// Measures the serial component on pseudo-terminals:
//   throughput of received data against a plain read loop, reply latency,
//   idle cost of an open port, and how long closing takes when busy; then,
//   through ser2net on loopback (RFC 2217), the throughput and reply
//   latency again and how soon a server that comes back is reopened.
//
//   bench-serial [--json] [--megabytes N] [--idle-seconds N]
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "bench_support.h"
#include "link/port_watch.h"
#include "link/tcomm.h"
#include "misbehaving_server.h"
#include "ser2net_server.h"

namespace {

using Clock = std::chrono::steady_clock;
using zrt::bench::Percentile;
using zrt::bench::Pty;
using zrt::bench::WriteAll;
using zrt::link::TComm;

// Test data without the flow-control characters, which the terminal consumes.
std::vector<char> Pattern(std::size_t size) {
  std::vector<char> data(size);
  for (std::size_t i = 0; i < size; ++i) {
    char c = static_cast<char>(i * 131 + (i >> 11));
    if (c == 17 || c == 19) c = 'x';
    data[i] = c;
  }
  return data;
}

double MegabytesPerSecond(std::size_t bytes, Clock::duration elapsed) {
  return static_cast<double>(bytes) / (1024.0 * 1024.0) /
         std::chrono::duration<double>(elapsed).count();
}

// Writes all of `data` into `fd` from a thread of its own, as an instrument
// sending as fast as it can.
std::thread Flood(int fd, const std::vector<char>& data) {
  return std::thread([fd, &data] {
    constexpr std::size_t kChunk = 64 * 1024;
    for (std::size_t done = 0; done < data.size(); done += kChunk) {
      WriteAll(fd, data.data() + done, std::min(kChunk, data.size() - done));
    }
  });
}

struct Throughput {
  double rxMbS = 0, rawMbS = 0;
  long long lostBytes = 0;
};

// Where the component opens the instrument's terminal: the terminal itself,
// or through ser2net on loopback (RFC 2217).
class Route {
 public:
  explicit Route(bool network) : network_(network) {}
  std::string NameFor(const Pty& pty) {
    if (!network_) return pty.path;
    server_.emplace(zrt::tools::Ser2netServer::Kind::Rfc2217, QString::fromStdString(pty.path));
    return server_->Address().toStdString();
  }

 private:
  bool network_;
  std::optional<zrt::tools::Ser2netServer> server_;
};

// The rate at which `data`, sent as fast as the instrument's side can,
// arrives through the component; the bytes that did not.
std::pair<double, long long> ReceiveRate(const std::vector<char>& data, bool network) {
  const std::size_t total = data.size();
  Pty pty;
  Route route(network);
  TComm comm;
  comm.SetCommName(route.NameFor(pty));
  comm.SetBaudRate(115200);
  std::size_t received = 0;
  bool intact = true;
  QObject::connect(&comm, &TComm::OnReceiveData, [&](const QByteArray& block) {
    if (std::memcmp(block.constData(), data.data() + received,
                    std::min<std::size_t>(block.size(), total - received)) != 0) {
      intact = false;
    }
    received += static_cast<std::size_t>(block.size());
  });
  comm.OpenPort();
  const auto start = Clock::now();
  std::thread writer = Flood(pty.master, data);
  QElapsedTimer quiet;
  quiet.start();
  std::size_t last = 0;
  while (received < total && quiet.elapsed() < 5000) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    if (received != last) {
      last = received;
      quiet.restart();
    }
  }
  const auto elapsed = Clock::now() - start;
  writer.join();
  comm.ClosePort();
  if (!intact) std::fprintf(stderr, "bench-serial: received bytes differ from those sent\n");
  return {MegabytesPerSecond(received, elapsed),
          static_cast<long long>(total) - static_cast<long long>(received)};
}

Throughput MeasureThroughput(std::size_t total) {
  Throughput result;
  const std::vector<char> data = Pattern(total);
  std::tie(result.rxMbS, result.lostBytes) = ReceiveRate(data, false);

  {  // A plain read loop on the same kind of terminal, raw with XON/XOFF like the port.
    Pty pty;
    const int fd = open(pty.path.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    {
      termios t{};
      tcgetattr(fd, &t);
      cfmakeraw(&t);
      t.c_iflag |= IXON | IXOFF;
      tcsetattr(fd, TCSANOW, &t);
    }
    const auto start = Clock::now();
    std::thread writer = Flood(pty.master, data);
    std::vector<char> buffer(2048);
    std::size_t received = 0;
    while (received < total) {
      const ssize_t n = read(fd, buffer.data(), buffer.size());
      if (n <= 0) break;
      received += static_cast<std::size_t>(n);
    }
    result.rawMbS = MegabytesPerSecond(received, Clock::now() - start);
    writer.join();
    close(fd);
  }
  return result;
}

struct Latency {
  double p50 = 0, p99 = 0;
};

Latency MeasureLatency(int replies, bool network) {
  Pty pty;
  Route route(network);
  TComm comm;
  comm.SetCommName(route.NameFor(pty));
  comm.SetReadIntervalTimeout(100);
  Clock::time_point sent;
  std::vector<double> samples;
  bool arrived = false;
  QObject::connect(&comm, &TComm::OnReceiveData, [&](const QByteArray&) {
    samples.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
    arrived = true;
  });
  comm.OpenPort();
  // One exchange first, not counted: the first write into a fresh
  // pseudo-terminal pays the kernel's buffer set-up (up to a few ms here).
  for (int i = 0; i <= replies; ++i) {
    arrived = false;
    sent = Clock::now();
    WriteAll(pty.master, "ZRT3060,V10.05\r\n", 16);
    while (!arrived) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 1000);
  }
  comm.ClosePort();
  samples.erase(samples.begin());
  return {Percentile(samples, 0.50), Percentile(samples, 0.99)};
}

std::set<std::string> Tasks() {
  std::set<std::string> tasks;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
    tasks.insert(entry.path().filename().string());
  }
  return tasks;
}

// Voluntary context switches and CPU milliseconds of one thread.
std::pair<long, double> ThreadCost(const std::string& tid) {
  long switches = 0;
  std::ifstream status("/proc/self/task/" + tid + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("voluntary_ctxt_switches:", 0) == 0) {
      switches = std::stol(line.substr(line.find(':') + 1));
    }
  }
  std::ifstream statFile("/proc/self/task/" + tid + "/stat");
  std::string stat((std::istreambuf_iterator<char>(statFile)), {});
  std::istringstream fields(stat.substr(stat.rfind(')') + 2));
  std::string field;
  long utime = 0, stime = 0;
  for (int i = 3; fields >> field; ++i) {
    if (i == 14) utime = std::stol(field);
    if (i == 15) {
      stime = std::stol(field);
      break;
    }
  }
  return {switches, 1000.0 * static_cast<double>(utime + stime) / sysconf(_SC_CLK_TCK)};
}

// Summed over the given threads.
std::pair<long, double> ThreadsCost(const std::vector<std::string>& threads) {
  long switches = 0;
  double cpuMs = 0;
  for (const auto& tid : threads) {
    const auto [s, c] = ThreadCost(tid);
    switches += s;
    cpuMs += c;
  }
  return {switches, cpuMs};
}

struct Idle {
  double wakeupsPerS = 0, cpuMs = 0;
};

Idle MeasureIdle(int seconds) {
  Pty pty;
  TComm comm;
  comm.SetCommName(pty.path);
  const std::set<std::string> before = Tasks();
  comm.OpenPort();
  std::vector<std::string> threads;
  for (const std::string& tid : Tasks()) {
    if (!before.contains(tid)) threads.push_back(tid);
  }
  // Let the threads settle (the writer reports its empty queue once).
  QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const auto [switches0, cpu0] = ThreadsCost(threads);
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const auto [switches1, cpu1] = ThreadsCost(threads);
  comm.ClosePort();
  return {static_cast<double>(switches1 - switches0) / seconds, cpu1 - cpu0};
}

double MeasureCloses(int closes) {
  Pty pty;
  TComm comm;
  comm.SetCommName(pty.path);
  const std::vector<char> flood = Pattern(256 * 1024);
  double longest = 0;
  fcntl(pty.master, F_SETFL, fcntl(pty.master, F_GETFL) | O_NONBLOCK);
  for (int i = 0; i < closes; ++i) {
    comm.OpenPort();
    // Resume output a previous round may have stopped.
    [[maybe_unused]] ssize_t resumed = write(pty.master, "\x11", 1);
    std::atomic<bool> flooding{true};
    std::thread writer;
    if (i % 2 == 0) {
      // The instrument floods the port while it is closed.
      writer = std::thread([&] {
        while (flooding) {
          if (write(pty.master, flood.data(), flood.size()) < 0) {
            pollfd fd{pty.master, POLLOUT, 0};
            poll(&fd, 1, 10);
          }
        }
      });
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    } else {
      // The instrument has said XOFF and the writer is stuck with a full queue.
      WriteAll(pty.master, "\x13", 1);
      for (int k = 0; k < 8; ++k) comm.SendData(flood.data(), 60000);
    }
    const auto start = Clock::now();
    comm.ClosePort();
    longest =
        std::max(longest, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    flooding = false;
    if (writer.joinable()) writer.join();
    // Drain what reached the instrument's side.
    char sink[65536];
    while (read(pty.master, sink, sizeof sink) > 0) {
    }
    QCoreApplication::processEvents();
  }
  return longest;
}

// From a network server's return to the port reopened by the watch for it.
double MeasureReconnect() {
  Pty pty;
  zrt::tools::Ser2netServer server(zrt::tools::Ser2netServer::Kind::Rfc2217,
                                   QString::fromStdString(pty.path));
  TComm comm;
  comm.SetCommName(server.Address().toStdString());
  bool lost = false;
  QObject::connect(&comm, &TComm::OnRequestHangup, [&] { lost = true; });
  comm.OpenPort();
  zrt::link::PortWatch watch;
  watch.Opened(comm.CommName());
  server.Stop();
  QElapsedTimer limit;
  limit.start();
  while (!lost && limit.elapsed() < 10000)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
  comm.ClosePort();
  watch.Lost();
  bool reopened = false;
  QObject::connect(&watch, &zrt::link::PortWatch::Back, [&] {
    try {
      comm.OpenPort();
      reopened = true;
      watch.Stop();
    } catch (const std::exception&) {
    }
  });
  server.Start();
  const auto back = Clock::now();
  limit.restart();
  while (!reopened && limit.elapsed() < 10000)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - back).count();
  comm.ClosePort();
  return reopened ? ms : -1;
}

// The longest close of a network port whose server has stopped reading,
// with as much queued as the writer takes: each opening fills the socket
// until the writer waits, then closes.
double MeasureStalledCloses(int count) {
  double longest = 0;
  for (int i = 0; i < count; ++i) {
    zrt::tools::MisbehavingServer server(zrt::tools::Misbehaviour::StopsReading);
    zrt::link::TComm comm;
    comm.SetCommName(server.Address(true));
    comm.OpenPort();
    const QByteArray block(60000, 'x');
    for (int b = 0; b < 64; ++b) {
      comm.SendData(block.constData(), static_cast<std::uint16_t>(block.size()));
    }
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 500) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QElapsedTimer clock;
    clock.start();
    comm.ClosePort();
    longest = std::max(longest, static_cast<double>(clock.nsecsElapsed()) / 1e6);
  }
  return longest;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  bool json = false;
  int megabytes = 64;
  int idleSeconds = 10;
  if (!zrt::bench::ParseArguments(
          argc, argv, json, {{"--megabytes", &megabytes}, {"--idle-seconds", &idleSeconds}},
          "usage: bench-serial [--json] [--megabytes N] [--idle-seconds N]")) {
    return 2;
  }

  const Throughput throughput =
      MeasureThroughput(static_cast<std::size_t>(megabytes) * 1024 * 1024);
  const Latency latency = MeasureLatency(50, false);
  // Through ser2net (RFC 2217) on loopback, where it is installed.
  const bool ser2net = zrt::tools::Ser2netServer::Installed();
  const double netRx =
      ser2net ? ReceiveRate(Pattern(static_cast<std::size_t>(megabytes) * 1024 * 1024), true).first
              : 0;
  const Latency netLatency = ser2net ? MeasureLatency(50, true) : Latency{};
  const double reconnectMs = ser2net ? MeasureReconnect() : -1;
  const double netRatio = throughput.rawMbS > 0 ? netRx / throughput.rawMbS : 0;
  const Idle idle = MeasureIdle(idleSeconds);
  const double closeMax = MeasureCloses(100);
  const double stalledCloseMax = MeasureStalledCloses(5);
  const double ratio = throughput.rawMbS > 0 ? throughput.rxMbS / throughput.rawMbS : 0;

  if (json) {
    std::printf(
        "{\"rx_mb_s\": %.1f, \"raw_mb_s\": %.1f, \"rx_ratio\": %.3f, \"rx_lost_bytes\": %lld, "
        "\"latency_p50_ms\": %.2f, \"latency_p99_ms\": %.2f, \"idle_wakeups_per_s\": %.2f, "
        "\"idle_cpu_ms\": %.1f, \"close_ms_max\": %.2f, \"net_rx_mb_s\": %.1f, "
        "\"net_rx_ratio\": %.3f, \"net_latency_p99_ms\": %.2f, \"reconnect_ms\": %.0f, "
        "\"stalled_close_ms_max\": %.2f}\n",
        throughput.rxMbS, throughput.rawMbS, ratio, throughput.lostBytes, latency.p50, latency.p99,
        idle.wakeupsPerS, idle.cpuMs, closeMax, netRx, netRatio, netLatency.p99, reconnectMs,
        stalledCloseMax);
  } else {
    std::printf("receive:  %.1f MB/s through the component, %.1f MB/s plain read loop\n",
                throughput.rxMbS, throughput.rawMbS);
    std::printf("          ratio %.3f (target >= 0.8), %lld bytes lost (target 0)\n", ratio,
                throughput.lostBytes);
    std::printf("latency:  p50 %.2f ms, p99 %.2f ms (target p99 <= 102)\n", latency.p50,
                latency.p99);
    std::printf("idle:     %.2f wakeups/s (target <= 1), %.1f ms CPU in %d s (target <= 10)\n",
                idle.wakeupsPerS, idle.cpuMs, idleSeconds);
    std::printf("close:    longest %.2f ms over 100 busy closes (target <= 50)\n", closeMax);
    std::printf(
        "          longest %.2f ms over 5 closes of a network port whose server stopped "
        "reading (target <= 2500)\n",
        stalledCloseMax);
    if (ser2net) {
      std::printf(
          "network:  %.1f MB/s through rfc2217:// (ser2net on loopback), ratio %.3f to the plain "
          "read loop (target >= 0.5)\n",
          netRx, netRatio);
      std::printf("          reply latency p50 %.2f ms, p99 %.2f ms (target p99 <= 105)\n",
                  netLatency.p50, netLatency.p99);
      std::printf("          reopened %.0f ms after the server came back (target <= 1500)\n",
                  reconnectMs);
    } else {
      std::printf("network:  not measured: ser2net is not installed\n");
    }
  }
  return 0;
}
