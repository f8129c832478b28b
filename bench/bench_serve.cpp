// Measures the instrument server against the simulated instrument on a
// pseudo-terminal, with clients on real sockets in the same process:
//   serve_overhead_ms  what going through the server adds to a line: from
//                      the client's line feed to the frame's first byte on
//                      the wire, beyond the same line handed to the session
//                      directly, plus from the reply's last byte to the
//                      client (mean);
//   serve_fairness     the most frames that went before one client's line
//                      with 8 clients sending at once;
//   idle_wakeups       context switches a second with 8 clients connected
//                      and silent;
//   flood_growth_mb    resident memory gained while one client floods the
//                      server with lines (and another is served);
//   scpi_overhead_ms   what a SCPI set adds over the same raw line, from the
//                      client's line feed to its answer: "FREQ 1000;*OPC?"
//                      against "88CHA:AFREQ1000Hz" (mean).
//
//   bench-serve [--json] [--flood-seconds N]
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/startup_report.h"
#include "link/tcomm.h"
#include "serve/instrument_server.h"
#include "sim/pty_instrument.h"

namespace {

using namespace zrt;
using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

long StatusSum(const char* field) {
  long sum = 0;
  for (const QString& task : QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    QFile status("/proc/self/task/" + task + "/status");
    if (!status.open(QIODevice::ReadOnly)) continue;
    for (const QByteArray& line : status.readAll().split('\n')) {
      if (line.startsWith(field))
        sum += line.mid(static_cast<qsizetype>(std::strlen(field))).trimmed().toLong();
    }
  }
  return sum;
}

// Runs the event loop for `ms`, or until `quit` is called; it sleeps
// until something happens, as the panel's does (a polling wait would both
// wake the process and blur the times measured).
void RunFor(int ms, const std::function<void(const std::function<void()>&)>& arm = {}) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  if (arm) arm([&loop] { loop.quit(); });
  loop.exec();
}

// Reads what the client has been sent until it holds `lines` line feeds;
// when the last of them came.
Clock::time_point ReadLines(const net::StreamSocket& client, int lines, QByteArray& got) {
  Clock::time_point when{};
  QSocketNotifier readable(client.Native(), QSocketNotifier::Read);
  RunFor(30000, [&](const std::function<void()>& quit) {
    QObject::connect(&readable, &QSocketNotifier::activated, [&, quit] {
      char bytes[4096];
      for (std::ptrdiff_t n; (n = client.Read(bytes, sizeof bytes)) > 0;) got.append(bytes, n);
      if (got.count('\n') < lines) return;
      when = Clock::now();
      readable.setEnabled(false);
      quit();
    });
  });
  return when;
}

struct Bench {
  Bench() : instrument({88, {}, {}}) {
    comm.SetCommName(instrument.TerminalPath());
    comm.OpenPort();
    server.Listen("127.0.0.1", 0);
    QObject::connect(&session, &session::LineSession::FrameOnWire, [this](const session::Frame& f) {
      frames.push_back({f.source, Clock::now()});
    });
    QObject::connect(&session, &session::LineSession::Received,
                     [this](int, const QByteArray&) { lastBlock = Clock::now(); });
  }
  net::StreamSocket Connect() { return net::StreamSocket::Connect("127.0.0.1", server.Port()); }
  net::StreamSocket ConnectScpi() {
    if (!scpiServer.Listening()) {
      scpiServer.SetScpi(&setup);
      scpiServer.Listen("127.0.0.1", 0);
    }
    return net::StreamSocket::Connect("127.0.0.1", scpiServer.Port());
  }
  sim::PtyInstrument instrument;
  link::TComm comm;
  session::LineSession session{&comm, nullptr};
  serve::InstrumentServer server{session, [] { return session::LineSettings{}; }};
  const serve::ScpiSetup setup{.face = {.identity = "bench"}};
  serve::InstrumentServer scpiServer{session, [] { return session::LineSettings{}; }};
  std::vector<std::pair<int, Clock::time_point>> frames;
  Clock::time_point lastBlock;
};

// The mean, over `runs` queries, of what the server adds.
double Overhead(Bench& bench, int runs) {
  double direct = 0;
  for (int i = 0; i < runs; ++i) {
    bench.frames.clear();
    const auto start = Clock::now();
    bench.session.Submit(bench.session.Prepare(0, "88A?", {}));
    direct += Ms(bench.frames.front().second - start);
    RunFor(1000);  // its reply, and its end, before the next source's line
  }
  const net::StreamSocket client = bench.Connect();
  double served = 0;
  for (int i = 0; i < runs; ++i) {
    bench.frames.clear();
    QByteArray got;
    const auto start = Clock::now();
    client.Write("88A?\n", 5);
    const Clock::time_point answered = ReadLines(client, 1, got);
    served += Ms(bench.frames.front().second - start) + Ms(answered - bench.lastBlock);
    RunFor(1000);
  }
  return (served - direct) / runs;
}

// The most frames before one client's next line, with 8 sending at once.
int Fairness(Bench& bench, int lines) {
  std::vector<net::StreamSocket> clients;
  for (int i = 0; i < 8; ++i) clients.push_back(bench.Connect());
  RunFor(500);  // all connected
  bench.frames.clear();
  QByteArray all;
  for (int line = 0; line < lines; ++line) all += "88B?\n";
  for (auto& client : clients) client.Write(all.constData(), static_cast<std::size_t>(all.size()));
  std::vector<QByteArray> got(clients.size());
  for (std::size_t i = 0; i < clients.size(); ++i) ReadLines(clients[i], lines, got[i]);
  std::map<int, std::size_t> last;  // a client's frame before
  int worst = 0;
  for (std::size_t n = 0; n < bench.frames.size(); ++n) {
    const int source = bench.frames[n].first;
    const std::size_t before = last.contains(source) ? last[source] + 1 : 0;
    worst = std::max(worst, static_cast<int>(n - before));
    last[source] = n;
  }
  return worst;
}

// The mean, over `runs` sets, of what speaking SCPI adds to the same line.
double ScpiOverhead(Bench& bench, int runs) {
  const auto mean = [&](const net::StreamSocket& client, const QByteArray& line) {
    double total = 0;
    for (int i = 0; i < runs; ++i) {
      QByteArray got;
      const auto start = Clock::now();
      client.Write(line.constData(), static_cast<std::size_t>(line.size()));
      total += Ms(ReadLines(client, 1, got) - start);
      RunFor(200);  // the reply's end, before the next line
    }
    return total / runs;
  };
  const net::StreamSocket raw = bench.Connect();
  const net::StreamSocket scpi = bench.ConnectScpi();
  return mean(scpi, "FREQ 1000;*OPC?\n") - mean(raw, "88CHA:AFREQ1000Hz\n");
}

double IdleWakeups(int seconds) {
  const long before =
      StatusSum("voluntary_ctxt_switches:") + StatusSum("nonvoluntary_ctxt_switches:");
  RunFor(seconds * 1000);
  const long after =
      StatusSum("voluntary_ctxt_switches:") + StatusSum("nonvoluntary_ctxt_switches:");
  return static_cast<double>(after - before) / seconds;
}

double FloodGrowthMb(Bench& bench, int seconds) {
  const net::StreamSocket flood = bench.Connect();
  const net::StreamSocket other = bench.Connect();
  const long before = app::ResidentKilobytes();
  const QByteArray chunk = QByteArray("88A1V\n").repeated(1000);
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < seconds * 1000) {
    flood.Write(chunk.constData(), static_cast<std::size_t>(chunk.size()));
    QByteArray got;
    other.Write("88A?\n", 5);  // still served
    ReadLines(other, 1, got);
  }
  return static_cast<double>(app::ResidentKilobytes() - before) / 1024.0;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  bool json = false;
  int floodSeconds = 60;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--json") {
      json = true;
    } else if (arg == "--flood-seconds" && i + 1 < argc) {
      floodSeconds = std::max(1, std::atoi(argv[++i]));
    } else {
      std::fprintf(stderr, "usage: bench-serve [--json] [--flood-seconds N]\n");
      return 2;
    }
  }
  Bench bench;
  const double overhead = Overhead(bench, 20);
  const int fairness = Fairness(bench, 10);
  const double wakeups = IdleWakeups(3);
  const double scpi = ScpiOverhead(bench, 10);  // before the flood leaves its lines behind
  const double growth = FloodGrowthMb(bench, floodSeconds);
  if (json) {
    std::printf(
        "{\"serve_overhead_ms\": %.2f, \"serve_fairness\": %d, \"idle_wakeups_per_s\": %.1f, "
        "\"flood_growth_mb\": %.2f, \"scpi_overhead_ms\": %.2f}\n",
        overhead, fairness, wakeups, growth, scpi);
  } else {
    std::printf("serve_overhead_ms:  %.2f mean (target <= 2)\n", overhead);
    std::printf("serve_fairness:     %d frames at most before a client's line (target <= 8)\n",
                fairness);
    std::printf("idle wake-ups:      %.1f a second, 9 clients connected and silent (target 0)\n",
                wakeups);
    std::printf("flood growth:       %.2f MB over %d s of a client flooding (target <= 2)\n",
                growth, floodSeconds);
    std::printf("scpi_overhead_ms:   %.2f mean a SCPI set adds over its raw line (target <= 1)\n",
                scpi);
  }
  return 0;
}
