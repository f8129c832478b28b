// Measures the instrument server against the simulated instrument on a
// pseudo-terminal, with clients on real sockets in the same process:
//   serve_overhead_ms  what going through the server adds to a line: from
//                      the client's line feed to the frame's first byte on
//                      the wire, beyond the same line handed to the session
//                      directly, plus from the reply's last byte to the
//                      client (mean);
//   serve_fairness     the most frames that went before one client's line
//                      with 8 clients sending at once;
//   idle_wakeups       context switches a second with 9 clients connected and silent
//                      and silent;
//   flood_growth_mb    resident memory gained while one client floods the
//                      server with lines (and another is served);
//   scpi_overhead_ms   what a SCPI set adds over the same raw line, from the
//                      client's line feed to its answer: "FREQ 1000;*OPC?"
//                      against "88CHA:AFREQ1000Hz" (mean);
//   vxi11_overhead_ms  what VXI-11 adds to a query over the raw SCPI socket:
//                      "FREQ?" written and its response read (mean);
//   discover_ms        what lxi discover does, as it does it: GETPORT over
//                      UDP to the port mapper, then a link created, *IDN?
//                      written and read, the link destroyed;
//   bode_point_ratio   an oscilloscope's Bode plot point (a connection and a
//                      link of its own, "C1:BSWV FRQ,f" written and answered,
//                      the link destroyed) against its line's time on the
//                      wire, from its first byte to its last having left
//                      (mean): 1 is a point that costs its line and nothing
//                      more, its reply included.
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
#include "rpc/port_mapper.h"
#include "rpc/vxi11.h"
#include "serve/instrument_server.h"
#include "serve/port_mapper_service.h"
#include "serve/vxi11_server.h"
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
    comm.SetReadIntervalTimeout(link::kReadAtOnce);  // as zrt-serve reads
    comm.OpenPort();
    server.Listen("127.0.0.1", 0);
    QObject::connect(&session, &session::LineSession::FrameOnWire, [this](const session::Frame& f) {
      frames.push_back({f.source, Clock::now()});
    });
    QObject::connect(&session, &session::LineSession::Received,
                     [this](int, const QByteArray&) { lastBlock = Clock::now(); });
    QObject::connect(&session, &session::LineSession::FrameDone,
                     [this](const session::Frame&, bool, qsizetype) { lastDone = Clock::now(); });
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
  serve::Vxi11Server vxi11{{{"inst0", &session, [] { return session::LineSettings{}; }, &setup}}};
  std::vector<std::pair<int, Clock::time_point>> frames;
  Clock::time_point lastBlock;
  Clock::time_point lastDone;  // the last frame through
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

// A VXI-11 client as a VISA library is one: each call waits for its reply.
class RpcClient {
 public:
  explicit RpcClient(std::uint16_t port) : socket_(net::StreamSocket::Connect("127.0.0.1", port)) {}
  // The results of a core call.
  rpc::Bytes Call(rpc::vxi11::Procedure procedure, const rpc::XdrWriter& parms) {
    rpc::XdrWriter call = rpc::CallHeader(++xid_, rpc::vxi11::kCoreProgram, rpc::vxi11::kVersion,
                                          static_cast<std::uint32_t>(procedure));
    rpc::Bytes message = call.Take();
    message.insert(message.end(), parms.Written().begin(), parms.Written().end());
    const rpc::Bytes marked = rpc::MarkRecord(message);
    socket_.Write(reinterpret_cast<const char*>(marked.data()), marked.size());
    std::vector<rpc::Bytes> replies;
    QSocketNotifier readable(socket_.Native(), QSocketNotifier::Read);
    RunFor(30000, [&](const std::function<void()>& quit) {
      QObject::connect(&readable, &QSocketNotifier::activated, [&, quit] {
        char bytes[4096];
        for (std::ptrdiff_t n; (n = socket_.Read(bytes, sizeof bytes)) > 0;) {
          for (rpc::Bytes& record :
               records_.Push({reinterpret_cast<const std::uint8_t*>(bytes), std::size_t(n)})) {
            replies.push_back(std::move(record));
          }
        }
        if (!replies.empty()) quit();
      });
    });
    if (replies.empty()) return {};
    rpc::XdrReader in(replies.front());
    rpc::ReadAcceptedReply(in, xid_);
    return {replies.front().end() - static_cast<std::ptrdiff_t>(in.Left()), replies.front().end()};
  }
  std::int32_t CreateLink() {
    rpc::XdrWriter parms;
    parms.Int(1);
    parms.Bool(false);
    parms.Uint(0);
    parms.String("inst0");
    const rpc::Bytes results = Call(rpc::vxi11::Procedure::CreateLink, parms);
    rpc::XdrReader in(results);
    in.Int();
    return in.Int().value_or(0);
  }
  void Write(std::int32_t link, const std::string& data) {
    rpc::XdrWriter parms;
    for (const std::uint32_t word : {std::uint32_t(link), 10000u, 0u, rpc::vxi11::kEnd}) {
      parms.Uint(word);
    }
    parms.Opaque({reinterpret_cast<const std::uint8_t*>(data.data()), data.size()});
    Call(rpc::vxi11::Procedure::Write, parms);
  }
  void Read(std::int32_t link) {
    rpc::XdrWriter parms;
    for (const std::uint32_t word : {std::uint32_t(link), 1024u, 10000u, 0u, 0u}) parms.Uint(word);
    parms.Int(0);
    Call(rpc::vxi11::Procedure::Read, parms);
  }
  void Destroy(std::int32_t link) {
    rpc::XdrWriter parms;
    parms.Int(link);
    Call(rpc::vxi11::Procedure::DestroyLink, parms);
  }

 private:
  net::StreamSocket socket_;
  rpc::RecordReader records_{1 << 20};
  std::uint32_t xid_ = 0;
};

// The mean, over `runs` queries, of what VXI-11 adds to the raw SCPI socket.
double Vxi11Overhead(Bench& bench, int runs) {
  if (!bench.vxi11.CorePort()) bench.vxi11.Listen("127.0.0.1");
  const net::StreamSocket raw = bench.ConnectScpi();
  double overRaw = 0;
  for (int i = 0; i < runs; ++i) {
    QByteArray got;
    const auto start = Clock::now();
    raw.Write("FREQ?\n", 6);
    overRaw += Ms(ReadLines(raw, 1, got) - start);
    RunFor(200);  // the reply's end, before the next line
  }
  RpcClient client(bench.vxi11.CorePort());
  const std::int32_t link = client.CreateLink();
  double overVxi11 = 0;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    client.Write(link, "FREQ?\n");
    client.Read(link);
    overVxi11 += Ms(Clock::now() - start);
    RunFor(200);
  }
  client.Destroy(link);
  return (overVxi11 - overRaw) / runs;
}

// A scope's sweep point against the time its line holds the wire.
double BodePointRatio(Bench& bench, int points) {
  if (!bench.vxi11.CorePort()) bench.vxi11.Listen("127.0.0.1");
  double ratio = 0;
  for (int i = 0; i < points; ++i) {
    const std::string frequency = std::to_string(1000 + 137 * i) + ".5";
    bench.frames.clear();
    const auto start = Clock::now();
    {
      RpcClient scope(bench.vxi11.CorePort());
      const std::int32_t link = scope.CreateLink();
      scope.Write(link, "C1:BSWV FRQ," + frequency);
      scope.Destroy(link);
    }
    const double point = Ms(Clock::now() - start);
    RunFor(200);  // the frame through, and the session's end of the reply
    if (bench.frames.size() != 1) return -1;  // one line, and only it
    // Its last byte left the interval before the frame counted as through.
    const double wire = Ms(bench.lastDone - bench.frames.front().second) - 10.0;
    ratio += point / wire;
  }
  return ratio / points;
}

// What lxi discover takes to find the server and read its identity.
double DiscoverMs(Bench& bench) {
  if (!bench.vxi11.CorePort()) bench.vxi11.Listen("127.0.0.1");
  rpc::PortMapper mapper;
  mapper.Set({rpc::vxi11::kCoreProgram, rpc::vxi11::kVersion, rpc::kTcp, bench.vxi11.CorePort()});
  serve::PortMapperService service(mapper, "127.0.0.1", 0);
  const auto start = Clock::now();
  const net::DatagramSocket asker = net::DatagramSocket::Bind("127.0.0.1", 0);
  const rpc::Bytes getport =
      rpc::MapperCall(7, rpc::MapperProcedure::GetPort,
                      {rpc::vxi11::kCoreProgram, rpc::vxi11::kVersion, rpc::kTcp});
  asker.SendTo(reinterpret_cast<const char*>(getport.data()), getport.size(),
               *net::Endpoint::Of("127.0.0.1", service.Port()));
  std::optional<std::uint32_t> port;
  QSocketNotifier readable(asker.Native(), QSocketNotifier::Read);
  RunFor(5000, [&](const std::function<void()>& quit) {
    QObject::connect(&readable, &QSocketNotifier::activated, [&, quit] {
      std::uint8_t bytes[512];
      net::Endpoint from;
      const std::ptrdiff_t n =
          asker.ReceiveFrom(reinterpret_cast<char*>(bytes), sizeof bytes, from);
      if (n > 0) port = rpc::MapperResult({bytes, static_cast<std::size_t>(n)}, 7);
      if (port) quit();
    });
  });
  if (!port) return -1;
  RpcClient client(static_cast<std::uint16_t>(*port));
  const std::int32_t link = client.CreateLink();
  client.Write(link, "*IDN?\n");
  client.Read(link);
  client.Destroy(link);
  return Ms(Clock::now() - start);
}

// Context switches a second of every thread, with nine clients connected
// and silent, the link open and nothing to do; the one wake that ends the
// measurement is its own, not counted.
double IdleWakeups(Bench& bench, int seconds) {
  std::vector<net::StreamSocket> clients;
  for (int i = 0; i < 9; ++i) clients.push_back(bench.Connect());
  RunFor(500);  // taken in, and settled
  const long before =
      StatusSum("voluntary_ctxt_switches:") + StatusSum("nonvoluntary_ctxt_switches:");
  RunFor(seconds * 1000);
  const long after =
      StatusSum("voluntary_ctxt_switches:") + StatusSum("nonvoluntary_ctxt_switches:");
  return static_cast<double>(std::max(after - before - 1, 0L)) / seconds;
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
    const double wakeups = IdleWakeups(bench, 10);
  const double scpi = ScpiOverhead(bench, 10);  // before the flood leaves its lines behind
  const double vxi11 = Vxi11Overhead(bench, 10);
  const double discover = DiscoverMs(bench);
  const double bode = BodePointRatio(bench, 10);
  const double growth = FloodGrowthMb(bench, floodSeconds);
  if (json) {
    std::printf(
        "{\"serve_overhead_ms\": %.2f, \"serve_fairness\": %d, \"idle_wakeups_per_s\": %.1f, "
        "\"flood_growth_mb\": %.2f, \"scpi_overhead_ms\": %.2f, \"vxi11_overhead_ms\": %.2f, "
        "\"discover_ms\": %.1f, \"bode_point_ratio\": %.3f}\n",
        overhead, fairness, wakeups, growth, scpi, vxi11, discover, bode);
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
    std::printf(
        "vxi11_overhead_ms:  %.2f mean VXI-11 adds to a query over the raw socket "
        "(target <= 1)\n",
        vxi11);
    std::printf("discover_ms:        %.1f from GETPORT to *IDN?'s answer, as lxi discover asks\n",
                discover);
    std::printf(
        "bode_point_ratio:   %.3f a scope's sweep point against its line's wire time "
        "(target <= 1.1)\n",
        bode);
  }
  return 0;
}
