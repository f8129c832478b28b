// The instrument server against the simulated instrument on a
// pseudo-terminal, with clients on real sockets: replies to their senders,
// and clients that misbehave.
#include "serve/instrument_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTest>
#include <functional>
#include <mutex>

#include "link/tcomm.h"
#include "pty_pair.h"
#include "serve/listen_address.h"
#include "sim/pty_instrument.h"

namespace zrt::serve {
namespace {

using net::StreamSocket;

TEST(LineSplitter, CutsLinesAndRefusesLongOnes) {
  using Piece = LineSplitter::Piece;
  const std::string longest(LineSplitter::kDefaultLongest, 'x');
  const std::string megabyte(1 << 20, 'y');
  struct Case {
    std::vector<std::string> pushes;
    std::vector<Piece> pieces;
  };
  const Case cases[] = {
      {{"A\nB\r\n"}, {"A", "B"}},
      {{"CHA:", "AFREQ?\r", "\n"}, {"CHA:AFREQ?"}},
      {{"\r\n\n"}, {"", ""}},
      {{longest + "\r\n"}, {longest}},
      {{longest + "x\n", "C\n"}, {LineSplitter::TooLong{}, "C"}},
      {{megabyte, megabyte, "\nD\n"}, {LineSplitter::TooLong{}, "D"}},
      {{std::string("\xff\x00\x01\n", 4)}, {std::string("\xff\x00\x01", 3)}},
      // The client's sending ends: a last line without its line feed.
      {{"A\nB"}, {"A", "B"}},
      {{"A\r"}, {"A"}},
      {{longest + "xy"}, {LineSplitter::TooLong{}}},
  };
  for (const Case& c : cases) {
    LineSplitter splitter;
    std::vector<Piece> pieces;
    for (const std::string& bytes : c.pushes) {
      for (Piece& piece : splitter.Push(bytes)) pieces.push_back(std::move(piece));
    }
    if (auto last = splitter.LineAtEnd()) pieces.push_back(std::move(*last));
    EXPECT_EQ(pieces, c.pieces) << c.pushes.front().substr(0, 20);
  }
}

TEST(ListenAddress, AsACommandLineGivesIt) {
  struct Case {
    const char* text;
    bool ok;
    const char* host;  // as it is left
    std::uint16_t port;
  };
  const Case cases[] = {
      {"5025", true, "127.0.0.1", 5025},      {"0.0.0.0:5026", true, "0.0.0.0", 5026},
      {"[::1]:5027", true, "::1", 5027},      {"0", true, "127.0.0.1", 0},
      {"::1", false, "127.0.0.1", 0},         {"host:", false, "127.0.0.1", 0},
      {":5025", false, "127.0.0.1", 0},       {"65536", false, "127.0.0.1", 0},
      {"localhost:x", false, "127.0.0.1", 0},
  };
  for (const Case& c : cases) {
    QString host = "127.0.0.1";
    std::uint16_t port = 0;
    EXPECT_EQ(ParseListenAddress(c.text, host, port), c.ok) << c.text;
    if (!c.ok) continue;
    EXPECT_EQ(host, c.host) << c.text;
    EXPECT_EQ(port, c.port) << c.text;
  }
}

// The simulated instrument, a port open on it, the session and the server
// listening on a port of the system's choosing.
struct Bench {
  explicit Bench(std::function<void(const std::string&)> heard = {})
      : instrument({88, {}, std::move(heard)}) {
    comm.SetCommName(instrument.TerminalPath());
    comm.OpenPort();
    server.Listen("127.0.0.1", 0);
  }
  StreamSocket Connect() { return StreamSocket::Connect("127.0.0.1", server.Port()); }
  static void Send(const StreamSocket& client, const QByteArray& bytes) {
    ASSERT_EQ(client.Write(bytes.constData(), static_cast<std::size_t>(bytes.size())),
              bytes.size());
  }
  // What the client has been sent once it holds `lines` line feeds, or
  // once the server has closed it (lines < 0).
  static QByteArray Read(const StreamSocket& client, int lines) {
    QByteArray got;
    bool closed = false;
    const bool done = QTest::qWaitFor(
        [&] {
          char bytes[4096];
          std::ptrdiff_t n;
          while ((n = client.Read(bytes, sizeof bytes)) > 0) got.append(bytes, n);
          closed = n == 0;
          return lines < 0 ? closed : got.count('\n') >= lines;
        },
        10000);
    EXPECT_TRUE(done) << "got only: " << got.toStdString();
    return got;
  }
  sim::PtyInstrument instrument;
  link::TComm comm;
  session::LineSession session{&comm, nullptr};
  InstrumentServer server{session, [] { return session::LineSettings{}; }};
};

// Two clients at once, each given the replies to its own lines, as they
// came; a line nothing answers gets nothing.
TEST(InstrumentServer, EachClientGetsItsOwnReplies) {
  Bench bench;
  const StreamSocket first = bench.Connect();
  const StreamSocket second = bench.Connect();
  Bench::Send(first, "88CHA:AFREQ1000Hz\r\n88CHA:AFREQ?\n");
  Bench::Send(second, "88CHB:AFREQ?\n");
  EXPECT_EQ(Bench::Read(first, 2), "OK\n1000Hz\n");
  EXPECT_EQ(Bench::Read(second, 1), "0\n");
  EXPECT_EQ(bench.server.Clients(), 2);
}

// The ninth client is told why and closed; a line too long is refused and
// the client kept; a client that goes mid-frame leaves the others served.
TEST(InstrumentServer, MisbehavingClients) {
  Bench bench;
  std::vector<ServerEvent> events;
  QObject::connect(&bench.server, &InstrumentServer::Event,
                   [&](const ServerEvent& event) { events.push_back(event); });
  std::vector<StreamSocket> clients;
  for (int i = 0; i < InstrumentServer::kDefaultMaxClients; ++i) clients.push_back(bench.Connect());
  const StreamSocket ninth = bench.Connect();
  const QByteArray turnedAway = Bench::Read(ninth, -1);
  EXPECT_TRUE(turnedAway.startsWith("ERROR: ") && turnedAway.count('\n') == 1)
      << turnedAway.toStdString();

  Bench::Send(clients[0], QByteArray(LineSplitter::kDefaultLongest + 1, 'A') + "\n88CHA:AFREQ?\n");
  const QByteArray refused = Bench::Read(clients[0], 2);
  EXPECT_TRUE(refused.startsWith("ERROR: line longer than 254 bytes")) << refused.toStdString();
  EXPECT_TRUE(refused.endsWith("\n0\n")) << refused.toStdString();

  // One that never reads what it asked for holds up nobody.
  Bench::Send(clients[5], QByteArray("88CHA:AFREQ?\n").repeated(3));
  Bench::Send(clients[6], "88CHB:AFREQ?\n");
  EXPECT_EQ(Bench::Read(clients[6], 1), "0\n");

  // Whose frame is on the wire: other clients' questions may still go ahead of it.
  const auto onWire = [&](const char* text) {
    return QTest::qWaitFor(
        [&] { return bench.session.Sending() && bench.session.Current()->text.contains(text); },
        10000);
  };
  Bench::Send(clients[1], "88CHA:AFREQ2000Hz\n88CHA:AFREQ3000Hz\n88CHA:AFREQ4000Hz\n");
  ASSERT_TRUE(onWire("2000Hz"));
  // Gone at once, as a client killed with replies unread goes: reset.
  const linger abort{1, 0};
  setsockopt(static_cast<int>(clients[1].Native()), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
  clients[1].Close();
  Bench::Send(clients[2], "88CHA:AFREQ?\n");
  EXPECT_EQ(Bench::Read(clients[2], 1), "2000Hz\n")
      << "the frame under way goes on; the lines behind it are dropped";
  ASSERT_TRUE(QTest::qWaitFor([&] { return bench.server.Clients() == 7; }, 5000));

  // The link lost under a client's line, and another's waiting: both are
  // told, and both are served again after.
  Bench::Send(clients[3], "88CHA:AFREQ5000Hz\n");
  Bench::Send(clients[4], "88CHA:AFREQ6000Hz\n");
  ASSERT_TRUE(onWire("5000Hz"));
  bench.session.Abandon();
  for (int i : {3, 4}) {
    const QByteArray lost = Bench::Read(clients[i], 1);
    EXPECT_TRUE(lost.startsWith("ERROR: the link to the instrument was lost"))
        << lost.toStdString();
    Bench::Send(clients[i], "88CHB:AFREQ?\n");
    EXPECT_TRUE(Bench::Read(clients[i], 1).endsWith('\n'));
  }
  const auto gone = std::find_if(events.begin(), events.end(), [](const ServerEvent& e) {
    return e.kind == ServerEvent::Kind::Disconnected;
  });
  ASSERT_NE(gone, events.end());
  EXPECT_EQ(gone->count, 2);
}

// Bytes no line may carry to the instrument are refused, and nothing of
// the line goes out; text in UTF-8 goes as the panel sends it.
TEST(InstrumentServer, LinesAreSentAsTheWindowSendsThem) {
  Bench bench;
  const StreamSocket client = bench.Connect();
  const std::pair<QByteArray, const char*> table[] = {
      {"88CHA:AFREQ1\x13"
       "000Hz\n",
       "ERROR: not sent: a control byte (0x13) at byte 13"},
      {QByteArray("88CHA:AFREQ\0"
                  "5Hz\n",
                  16),
       "ERROR: not sent: a control byte (0x00) at byte 12"},
      {"88CHA:AFREQ5Hz\rCHA:AFREQ6Hz\n", "ERROR: not sent: a control byte (0x0d) at byte 15"},
      {"88CHA:AFREQ\x1b"
       "5Hz\n",
       "ERROR: not sent: a control byte (0x1b)"},
      {"88CHA:AFREQ5\xe8\xb5\xab\n", "ERROR: not sent: '\xe8\xb5\xab' (U+8D6B) at position 13"},
      {"\xef\xbc\x98\xef\xbc\x98"  // "８８CHA:AFREQ？"
       "CHA:AFREQ\xef\xbc\x9f\n",
       "0\n"},
  };
  for (const auto& [line, reply] : table) {
    Bench::Send(client, line);
    EXPECT_TRUE(Bench::Read(client, 1).startsWith(reply)) << line.toStdString();
  }
  // Every control byte but the line feed that ends a line, DEL too.
  for (int byte = 0; byte <= 0x7F; byte = byte == 0x1F ? 0x7F : byte + 1) {
    if (byte == '\n') continue;
    Bench::Send(client, "88CHA:AFREQ5" + QByteArray(1, static_cast<char>(byte)) + "Hz\n");
    const QByteArray said = Bench::Read(client, 1);
    EXPECT_EQ(said, QString("ERROR: not sent: a control byte (0x%1) at byte 13 of the line\n")
                        .arg(byte, 2, 16, QChar('0'))
                        .toUtf8())
        << byte;
  }
  EXPECT_EQ(bench.session.Known().All().size(), 1u) << "only the question of the table was sent";
}

// A client that has ended its sending holds its place until it is served
// and closed, so that half-closed clients cannot queue past the bound; when
// all are taken, a new client takes the place of the one idle longest,
// which is told why.
TEST(InstrumentServer, PlacesGoToClientsThatUseThem) {
  Bench bench;
  bench.server.SetMaxClients(2);
  bench.server.SetIdleLimit(std::chrono::minutes(1));
  const StreamSocket idle = bench.Connect();
  const StreamSocket done = bench.Connect();
  Bench::Send(idle, "88CHA:AFREQ7Hz\n");
  EXPECT_EQ(Bench::Read(idle, 1), "OK\n");
  // Its last line without a line feed, after a few to keep it busy.
  Bench::Send(done, QByteArray("88CHA:AFREQ?\n").repeated(5) + "88CHA:AFREQ?");
  shutdown(static_cast<int>(done.Native()), SHUT_WR);
  const StreamSocket turnedAway = bench.Connect();
  EXPECT_TRUE(Bench::Read(turnedAway, -1)
                  .startsWith("ERROR: the instrument is shared with at "
                              "most 2 clients"));
  EXPECT_EQ(Bench::Read(done, -1), QByteArray("7Hz\n").repeated(6));
  ASSERT_TRUE(QTest::qWaitFor([&] { return bench.server.Clients() == 1; }, 5000));
  const StreamSocket third = bench.Connect();
  Bench::Send(third, "88CHA:AFREQ?\n");
  EXPECT_EQ(Bench::Read(third, 1), "7Hz\n") << "served: the place was free";
  bench.server.SetIdleLimit(std::chrono::milliseconds(300));
  QTest::qWait(400);  // both idle now, the first the longest
  const StreamSocket fourth = bench.Connect();
  EXPECT_TRUE(Bench::Read(idle, -1).startsWith("ERROR: closed: another client came"));
  Bench::Send(fourth, "88CHA:AFREQ?\n");
  EXPECT_EQ(Bench::Read(fourth, 1), "7Hz\n");
}

// Out of descriptors, a waiting connection is neither taken nor looked at
// over and over: said once, and taken once descriptors are free again.
TEST(InstrumentServer, NoDescriptorsLeftIsSaidOnceAndWaitedOut) {
  Bench bench;
  std::vector<ServerEvent::Kind> events;
  // A client served once first: what the sanitizers check on a client's
  // first service (they open descriptors of their own for it) is done
  // before there are none left.
  {
    const StreamSocket first = bench.Connect();
    Bench::Send(first, "88CHA:AFREQ?\n");
    ASSERT_EQ(Bench::Read(first, 1), "0\n");
  }
  ASSERT_TRUE(QTest::qWaitFor([&] { return bench.server.Clients() == 0; }, 5000));
  QObject::connect(&bench.server, &InstrumentServer::Event,
                   [&](const ServerEvent& event) { events.push_back(event.kind); });
  rlimit before{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &before), 0);
  rlimit few = before;
  few.rlim_cur = std::min<rlim_t>(before.rlim_cur, 512);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &few), 0);
  std::vector<int> fillers;
  for (int fd; (fd = dup(0)) >= 0;) fillers.push_back(fd);
  close(fillers.back());
  fillers.pop_back();
  const StreamSocket client = bench.Connect();  // the last descriptor
  QTest::qWait(500);
  for (int fd : fillers) close(fd);
  setrlimit(RLIMIT_NOFILE, &before);
  EXPECT_EQ(std::count(events.begin(), events.end(), ServerEvent::Kind::AcceptFailed), 1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return bench.server.Clients() == 1; }, 5000));
  Bench::Send(client, "88CHA:AFREQ?\n");
  EXPECT_EQ(Bench::Read(client, 1), "0\n");
}

// A port open on a bare pseudo-terminal, whose other side the test plays,
// the session on it and a server not yet listening.
struct PtyBench {
  PtyBench() {
    comm.SetCommName(pty.TerminalPath());
    comm.OpenPort();
  }
  link::testing::PtyPair pty;
  link::TComm comm;
  session::LineSession session{&comm, nullptr};
  InstrumentServer server{session, [] { return session::LineSettings{}; }};
};

// The instrument holding output back past the limit: the client whose
// line it was and the one waiting behind it are told, and served after.
TEST(InstrumentServer, HeldTooLong) {
  PtyBench bench;
  auto& [pty, comm, session, server] = bench;
  session.SetHoldLimit(std::chrono::milliseconds(300));
  server.Listen("127.0.0.1", 0);
  const auto held = StreamSocket::Connect("127.0.0.1", server.Port());
  const auto behind = StreamSocket::Connect("127.0.0.1", server.Port());
  Bench::Send(held, "88CHA:AFREQ1000Hz\n");
  ASSERT_TRUE(QTest::qWaitFor([&] { return session.Sending(); }, 5000));
  ASSERT_EQ(pty.Receive(1, 5000), "X");
  ASSERT_TRUE(pty.SendXoffAndWait());
  Bench::Send(behind, "88CHA:AFREQ?\n");
  EXPECT_TRUE(Bench::Read(held, 1).startsWith("ERROR: the instrument held output back"));
  EXPECT_TRUE(Bench::Read(behind, 1).startsWith("ERROR: the link to the instrument was lost"));
  pty.Send("\x11");  // XON
  Bench::Send(behind, "Q\n");
  EXPECT_TRUE(QTest::qWaitFor([&] { return pty.Receive(1, 100).endsWith('\n'); }, 10000))
      << "not served after";
}

// A client that asks and never reads is closed once a mebibyte waits for
// it, whatever the instrument sends; the others are not held up.
TEST(InstrumentServer, AClientThatNeverReadsIsClosed) {
  PtyBench bench;
  auto& [pty, comm, session, server] = bench;
  std::vector<ServerEvent::Kind> events;
  QObject::connect(&server, &InstrumentServer::Event,
                   [&](const ServerEvent& event) { events.push_back(event.kind); });
  server.Listen("127.0.0.1", 0);
  // Its own receive buffer small, so that what waits for it waits here.
  StreamSocket deaf(socket(AF_INET, SOCK_STREAM, 0));
  const int small = 4096;
  setsockopt(static_cast<int>(deaf.Native()), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(server.Port());
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(connect(static_cast<int>(deaf.Native()), reinterpret_cast<sockaddr*>(&address),
                    sizeof address),
            0);
  Bench::Send(deaf, "Q\n");
  ASSERT_TRUE(QTest::qWaitFor([&] { return !session.Idle(); }, 5000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !session.Sending(); }, 5000));
  ASSERT_EQ(pty.Receive(2, 5000), "Q\n");
  // An instrument that never stops answering, a block at a time.
  for (int i = 0; i < 128 && server.Clients() > 0; ++i) {
    pty.Send(QByteArray(32 << 10, 'R'));
    QCoreApplication::processEvents();
  }
  EXPECT_TRUE(QTest::qWaitFor([&] { return server.Clients() == 0; }, 20000));
  EXPECT_NE(std::find(events.begin(), events.end(), ServerEvent::Kind::NotReading), events.end());
}

}  // namespace
}  // namespace zrt::serve

namespace zrt::serve {
namespace {

// *OPC? answers, and *WAI lets what follows go, only once every earlier
// line of that client is through: the instrument has had it, paced byte
// after byte, and answered it.
TEST(InstrumentServer, ScpiOpcAndWaiWaitForTheLinesBefore) {
  struct Case {
    const char* messages;
    const char* line;  // the earlier line, as the instrument hears it
    const char* response;
  };
  const Case cases[] = {
      {"FREQ 1000\n*OPC?\n", "CHA:AFREQ1000Hz", "1\n"},
      {"OUTP1 ON;*OPC?\n", "CHA:SWITCH1No.", "1\n"},
      {"FREQ 2000\n*WAI;SYST:ERR?\n", "CHA:AFREQ2000Hz", "0,\"No error\"\n"},
      {"FREQ 3000;*WAI;*IDN?\n", "CHA:AFREQ3000Hz", "zrt-panel,ZRT10XX/ZRT30XX,0,test\n"},
  };
  std::mutex mutex;
  QStringList heard;
  Bench bench([&](const std::string& said) {
    const std::lock_guard lock(mutex);
    heard << QString::fromStdString(said);
  });
  const serve::ScpiSetup setup{.face = {.identity = scpi::DefaultIdentity("test")}};
  bench.server.SetScpi(&setup);
  const StreamSocket client = bench.Connect();
  for (const Case& c : cases) {
    Bench::Send(client, c.messages);
    EXPECT_EQ(Bench::Read(client, 1).toStdString(), c.response) << c.messages;
    const std::lock_guard lock(mutex);
    EXPECT_FALSE(heard.filter(c.line).isEmpty()) << c.messages << ": answered before its line";
  }
}

// The frames the simulated instrument heard ("XCHA:AFREQ1000Hz").
struct HeardFrames {
  std::function<void(const std::string&)> Log() {
    return [this](const std::string& said) {
      const std::lock_guard lock(mutex);
      if (said.starts_with("<- ")) frames << QString::fromStdString(said.substr(3));
    };
  }
  QStringList Frames() {
    const std::lock_guard lock(mutex);
    return frames;
  }
  std::mutex mutex;
  QStringList frames;
};

// A SCPI message too long is an error in its turn: nothing is sent, and no
// line the client did not ask for shifts the answers after it.
TEST(InstrumentServer, AScpiMessageTooLongIsAnErrorInItsTurn) {
  HeardFrames heard;
  Bench bench(heard.Log());
  const serve::ScpiSetup setup{.face = {.identity = "x"}};
  bench.server.SetScpi(&setup);
  const StreamSocket client = bench.Connect();
  Bench::Send(client, "*IDN?\nFREQ 1" + QByteArray(LineSplitter::kDefaultLongest, '0') +
                          "\n*IDN?;SYST:ERR?\n");
  EXPECT_EQ(Bench::Read(client, 2),
            "x\nx;-223,\"Too much data; the message is longer than a line may be\"\n");
  EXPECT_TRUE(heard.Frames().isEmpty()) << heard.Frames().join(' ').toStdString();
}

// A reset preset refused part way stops there: what comes after it in the
// preset is not sent, and the client is told why in its error queue.
TEST(InstrumentServer, AResetRefusedPartWayStopsThere) {
  HeardFrames heard;
  Bench bench(heard.Log());
  guard::Limits limits;
  limits.a.maxFrequencyHz = 1e6;
  bench.session.SetLimits(limits);
  const serve::ScpiSetup setup{
      .face = {.identity = "x", .resetConfigured = true},
      .resetLines = {"88CHA:AFREQ1000Hz", "88CHA:AFREQ5MHz", "88CHA:AFREQ2000Hz"}};
  bench.server.SetScpi(&setup);
  const StreamSocket client = bench.Connect();
  Bench::Send(client, "*RST;*OPC?\n");
  EXPECT_EQ(Bench::Read(client, 1), "1\n");
  Bench::Send(client, "SYST:ERR?\n");
  EXPECT_TRUE(Bench::Read(client, 1).startsWith("-222,")) << "told";
  EXPECT_EQ(heard.Frames(), QStringList({"XCHA:AFREQ1000Hz"}));
}

}  // namespace
}  // namespace zrt::serve
