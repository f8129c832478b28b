// zrt-send run as a script runs it: against the simulated instrument on a
// pseudo-terminal (zrt-sim), and against a terminal the test answers on
// itself; every exit status, the bytes on the wire, the JSON read back.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <csignal>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <vector>

#include "link/port/uucp_lock.h"
#include "misbehaving_server.h"
#include "pty_pair.h"
#include "ser2net_server.h"
#include "settings/preset.h"

namespace {

struct Result {
  int status;
  QByteArray out;
  QString err;
};

// Starts zrt-send; Finish() waits for it.
struct Send {
  Send(const QStringList& arguments, const QByteArray& input = {}) {
    process.start(ZRT_SEND, arguments);
    process.write(input);
    process.closeWriteChannel();
  }
  Result Finish(int timeoutMs = 60000) {
    if (!process.waitForFinished(timeoutMs)) process.kill();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), QString::fromUtf8(process.readAllStandardError())};
  }
  QProcess process;
};

// zrt-sim on a pseudo-terminal: the frames it heard, and any pacing report.
struct Simulator {
  // Bytes sent without pacing come within a millisecond; the limit leaves
  // room for a busy machine's scheduling of the simulator's reads (and, on
  // the network, of the server's).
  explicit Simulator(const QStringList& options = {}) {
    process.start(ZRT_SIM, QStringList{"--check-pacing=2"} + options);
    EXPECT_TRUE(process.waitForReadyRead(10000));
    port = QString::fromUtf8(process.readLine().trimmed());
  }
  ~Simulator() {
    process.terminate();
    process.waitForFinished();
  }
  QStringList Heard() {
    process.waitForReadyRead(100);
    while (process.canReadLine()) heard << QString::fromUtf8(process.readLine().trimmed());
    return heard;
  }
  QStringList Frames() {
    return Heard().filter(QRegularExpression("^<- ")).replaceInStrings("<- ", "");
  }
  QProcess process;
  QString port;
  QStringList heard;
};

// What zrt-send puts on the terminal, once it has opened it (before that,
// the instrument's side reads nothing).
QByteArray Wire(const zrt::link::testing::PtyPair& pty, std::size_t count) {
  QByteArray bytes;
  QElapsedTimer clock;
  clock.start();
  while (static_cast<std::size_t>(bytes.size()) < count && clock.elapsed() < 10000) {
    bytes += pty.Receive(count - static_cast<std::size_t>(bytes.size()), 100);
    if (bytes.isEmpty()) QThread::msleep(20);
  }
  return bytes;
}

QString Write(const QTemporaryDir& dir, const char* name, const QByteArray& text) {
  QFile file(dir.filePath(name));
  EXPECT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(text);
  return file.fileName();
}

TEST(ZrtSend, ExitStatusSaysWhatHappened) {
  QTemporaryDir dir;
  const QString refused = Write(dir, "refused.zrt", "A\nrepeat 2\n  wait soon\nend\n");
  const QString percent = Write(dir, "bad%3x%2y.zrt", "A\nrepeat 0\n  expect /a(b/\nend\n");
  struct Case {
    QStringList arguments;
    QByteArray input;
    int status;
    const char* said;  // on standard error
  } cases[] = {
      {{"--simulate", "CHA:AFREQ:1000HZ", "CHA:AFREQ?"}, {}, 0, ""},
      {{"--simulate", "--usb", "CHA:AFREQ?"}, {}, 0, ""},
      {{"--port"}, {}, 2, "--port needs a path"},
      {{"--simulate", "--file", refused}, {}, 2, "refused.zrt:3:8: expected a duration"},
      {{"--simulate", "--file", percent}, {}, 2, "bad%3x%2y.zrt:3:14: the pattern does not"},
      {{"--simulate", "--address", "eighty", "A"}, {}, 2, "'eighty' is not a valid integer value"},
      {{"--port", "/dev/null", "A"}, {}, 3, "zrt-send: /dev/null is not a serial port\n"},
      {{"--port", "zrt-none0", "A"}, {}, 3, "zrt-send: /dev/zrt-none0: No such file or directory"},
      {{"--simulate", "-"}, "wiat 100ms\n", 2, "<stdin>:1:1: did you mean 'wait'?"},
      {{"--simulate", "CHA:AFREQ:１０００HZ", "A频"},
       {},
       2,
       "argument 2: '频' (U+9891) at position 2 has no byte"},
      // A reply that has ended without the text misses at once, whatever the timeout.
      {{"--simulate", "--timeout", "60s", "-"},
       "CHA:AFREQ?\nexpect 2000HZ\n",
       1,
       "<stdin>:2: the reply had no \"2000HZ\"; received: \"0\\n\""},
  };
  for (const Case& c : cases) {
    Send send(c.arguments, c.input);
    const Result result = send.Finish();
    EXPECT_EQ(result.status, c.status) << c.arguments.join(' ').toStdString() << "\n"
                                       << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(c.said)) << result.err.toStdString();
  }
}

// Interrupted at any moment of its frames, by SIGINT, SIGTERM or its output
// closed (as by "| head -1"), it finishes the line on the wire and sends no
// more: the instrument never hears half a line glued to the next, the
// shell is given the status it expects, and no lock file is left.
TEST(ZrtSend, InterruptsLeaveNoHalfLineNorLock) {
  using zrt::link::UucpLock;
  Simulator instrument;
  const std::string lock =
      UucpLock::DefaultFolder() + "/" + UucpLock::NamesFor(instrument.port.toStdString()).front();
  const bool locks = access(UucpLock::DefaultFolder().c_str(), W_OK) == 0;
  const QStringList lines{"CHA:AFREQ:1000HZ", "CHA:AFREQ?", "CHB:VPP:2.5Vpp", "CHB:VPP?"};
  std::mt19937 random(20261208);
  for (int run = 0; run < 20; ++run) {
    SCOPED_TRACE(run);
    const int how = run % 3;  // SIGINT, SIGTERM, the output closed
    QProcess send;
    // Its output into a pipe either way; for the third, one that closes.
    const QString reader = how == 2 ? "head -1" : "cat";
    send.start("/bin/bash", {"-c", "set -o pipefail; \"$0\" \"$@\" | " + reader, ZRT_SEND, "--port",
                             instrument.port, lines[0], lines[1], lines[2], lines[3]});
    if (how < 2) {
      // Once it holds the port, at a moment anywhere in its four frames.
      if (locks) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return access(lock.c_str(), F_OK) == 0; }, 10000));
      }
      QThread::msleep(std::uniform_int_distribution<int>(0, 700)(random));
      const QString pids = [&] {
        QProcess find;
        find.start("pgrep", {"-P", QString::number(send.processId()), "-f", ZRT_SEND});
        find.waitForFinished();
        return QString::fromLatin1(find.readAllStandardOutput()).trimmed();
      }();
      for (const QString& pid : pids.split('\n', Qt::SkipEmptyParts)) {
        kill(pid.toInt(), how == 0 ? SIGINT : SIGTERM);
      }
    }
    ASSERT_TRUE(send.waitForFinished(20000));
    const int status = send.exitCode();
    EXPECT_TRUE(status == (how == 0   ? 130
                           : how == 1 ? 143
                                      : 141) ||
                status == 0)
        << how << ": " << status << " " << send.readAllStandardError().toStdString();
    if (locks) {
      EXPECT_NE(access(lock.c_str(), F_OK), 0) << "the lock is left";
    }
  }
  for (const QString& frame : instrument.Frames()) {
    EXPECT_TRUE(lines.contains(frame)) << "not a whole line: " << frame.toStdString();
  }
}

// Interrupted the moment a reply has ended, while the next line may
// already be handed over: the instrument hears that line whole or not at
// all, never the start of it.
TEST(ZrtSend, AnInterruptBetweenFramesLeavesNoHalfLine) {
  for (int run = 0; run < 8; ++run) {
    SCOPED_TRACE(run);
    zrt::link::testing::PtyPair pty;
    QProcess send;
    send.start(ZRT_SEND, {"--port", QString::fromStdString(pty.TerminalPath()), "CHA:AFREQ:1000HZ",
                          "CHB:VPP:2.5Vpp", "CHA:AFREQ?"});
    // The first frame: until zrt-send opens the terminal, its side reads nothing.
    QByteArray first;
    QElapsedTimer clock;
    clock.start();
    while (!first.endsWith('\n') && clock.elapsed() < 10000) {
      const QByteArray got = pty.Receive(1, 100);
      if (got.isEmpty()) QThread::msleep(5);
      first += got;
    }
    ASSERT_EQ(first, "CHA:AFREQ:1000HZ\n");
    pty.Send("OK\n");
    QThread::usleep(static_cast<unsigned>(run) * 3000);  // from the reply's end to 21 ms on
    kill(static_cast<pid_t>(send.processId()), SIGINT);
    ASSERT_TRUE(send.waitForFinished(20000));
    QByteArray rest;
    while (pty.Readable(300)) {
      const QByteArray got = pty.Receive(64, 300);
      if (got.isEmpty()) break;
      rest += got;
    }
    EXPECT_TRUE(rest.isEmpty() || rest == "CHB:VPP:2.5Vpp\n") << "heard: " << rest.toStdString();
  }
}

// A pseudo-terminal a real ser2net holds, with the lock file it writes
// (the path under /dev, "/" as "_", and its process id), is left alone,
// and the holder named. While zrt-send holds a port, its own lock file
// names it, and goes when it ends.
TEST(ZrtSend, APortAnotherProgramHoldsIsLeftAlone) {
  using zrt::link::UucpLock;
  using zrt::tools::Ser2netServer;
  if (!Ser2netServer::Installed()) GTEST_SKIP() << "ser2net is not installed";
  const std::string folder = UucpLock::DefaultFolder();
  if (access(folder.c_str(), W_OK) != 0) GTEST_SKIP() << folder << " is not writable here";
  auto lockFile = [&](const std::string& device) {
    return folder + "/" + UucpLock::NamesFor(device).front();
  };

  zrt::link::testing::PtyPair held;
  Ser2netServer server(Ser2netServer::Kind::Raw, QString::fromStdString(held.TerminalPath()));
  ASSERT_TRUE(server.IsUp());
  // ser2net opens its device once a client connects.
  const int client = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(server.Port()));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const auto closeClient = qScopeGuard([client] { close(client); });
  ASSERT_EQ(send(client, "x", 1, MSG_NOSIGNAL), 1);
  ASSERT_EQ(Wire(held, 1), "x");
  // This system's ser2net may be built without lock files: the one it
  // writes where it is built with them.
  const std::string serverLock = lockFile(held.TerminalPath());
  std::ofstream(serverLock) << std::string(10 - std::to_string(server.Pid()).size(), ' ')
                            << server.Pid() << '\n';
  const Result refused =
      Send({"--port", QString::fromStdString(held.TerminalPath()), "CHA:AFREQ?"}).Finish();
  std::remove(serverLock.c_str());
  EXPECT_EQ(refused.status, 3) << refused.err.toStdString();
  EXPECT_TRUE(refused.err.contains(
      QString("is held by another program (process %1, lock file").arg(server.Pid())))
      << refused.err.toStdString();
  EXPECT_TRUE(held.Receive(1, 200).isEmpty()) << "the instrument heard another program";

  zrt::link::testing::PtyPair mine;
  Send holding({"--port", QString::fromStdString(mine.TerminalPath()), "--timeout", "20s", "A"});
  ASSERT_EQ(Wire(mine, 2), "A\n");
  std::ifstream written(lockFile(mine.TerminalPath()));
  int holder = 0;
  written >> holder;
  EXPECT_EQ(holder, holding.process.processId());
  mine.Send("OK\n");
  EXPECT_EQ(holding.Finish().status, 0);
  EXPECT_FALSE(QFile::exists(QString::fromStdString(lockFile(mine.TerminalPath()))));
}

TEST(ZrtSend, PortHeldOrGoneMidRun) {
  // A port another program holds is refused.
  zrt::link::testing::PtyPair held;
  Send first({"--port", QString::fromStdString(held.TerminalPath()), "--timeout", "10s", "A", "B"});
  ASSERT_EQ(Wire(held, 2), "A\n");
  Send second({"--port", QString::fromStdString(held.TerminalPath()), "C"});
  const Result refused = second.Finish();
  EXPECT_EQ(refused.status, 3) << refused.err.toStdString();
  // The device goes away while the first waits for its reply.
  held.CloseInstrument();
  const Result gone = first.Finish();
  EXPECT_EQ(gone.status, 4) << gone.err.toStdString();
  EXPECT_TRUE(gone.err.contains("argument:1: the link went away")) << gone.err.toStdString();
}

// Twenty lines with waits, expects and a repeat: the frames the instrument
// hears, the bytes paced (zrt-sim reports bytes that come together), in
// about the time the frames, replies and waits take.
TEST(ZrtSend, ASequencePutsItsLinesOnTheWire) {
  QTemporaryDir dir;
  const QString steps = Write(dir, "twenty.zrt",
                              "88CHA:AFREQ:1000HZ\nexpect OK\nwait 200ms\n"
                              "repeat 6\n  CHA:AFREQ?\n  expect /^1000HZ/\n  X\n  wait 100ms\nend\n"
                              "88CHA:AFREQ:2000HZ\nCHA:AFREQ?\nexpect 2000HZ\n"
                              "for N in 1 2 3 4 5 6\n  N${N}\nend\n");
  Simulator instrument;
  QElapsedTimer clock;
  clock.start();
  Send send({"--port", instrument.port, "--file", steps});
  const Result result = send.Finish();
  const double seconds = clock.elapsed() / 1000.0;
  ASSERT_EQ(result.status, 0) << result.err.toStdString();
  QStringList expected{"XCHA:AFREQ:1000HZ"};
  for (int i = 0; i < 6; ++i)
    expected << "CHA:AFREQ?"
             << "X";
  expected << "XCHA:AFREQ:2000HZ"
           << "CHA:AFREQ?";
  for (int n = 1; n <= 6; ++n) expected << QString("N%1").arg(n);
  QStringList frames;
  EXPECT_TRUE(QTest::qWaitFor([&] { return (frames = instrument.Frames()).size() >= 20; }, 5000));
  EXPECT_EQ(frames, expected);
  EXPECT_TRUE(instrument.Heard().filter("pacing:").isEmpty())
      << instrument.Heard().join('\n').toStdString();
  // Each line: its bytes (and line feed) 10 ms apart, then its reply
  // delivered after 100 ms of quiet; and 0.8 s of waits.
  double least = 0.8;
  for (const QString& frame : expected) least += frame.size() * 0.010 + 0.100;
  EXPECT_GE(seconds, least);
  EXPECT_LT(seconds, least + 5) << "lines waited longer than their replies";
}

// A line beyond a limit, wherever it stands, is refused before the first
// line goes out.
// A line refused, before anything is sent or once what it needs has been
// read back, ends the run there with status 2: nothing but the guard's own
// questions reaches the instrument.
TEST(ZrtSend, LimitsRefuseTheRunBeforeAnythingIsSent) {
  QTemporaryDir dir;
  const QString limits =
      Write(dir, "lab.ini",
            "[A]\nmax_frequency_hz = 10e6\nmax_offset_v = 3\n[B]\nmax_amplitude_vpp = 2\n");
  const QString steps =
      Write(dir, "steps.zrt", "CHA:VPP:2Vpp\nwait 10ms\nCHA:AOFFS:2.5Vdc\n");  // 2.5 V + 1 V
  struct Case {
    QStringList instrument;  // zrt-sim's options
    QStringList arguments;
    int status;
    const char* said;
  } cases[] = {
      {{},
       {"CHA:AFREQ:1000HZ", "88CHA:AFREQ20MHz"},
       2,
       "zrt-send: argument:2: not sent: channel A's frequency would be 20 MHz; its limit is "
       "10 MHz"},
      {{}, {"CHB:VPP:2.5Vpp"}, 2, "argument:1: not sent: channel B's amplitude would be 2.5 Vpp"},
      {{}, {"--file", steps}, 2, "steps.zrt:3: not sent: channel A's output would go up to 3.5 V"},
      {{}, {"CHA:AFREQ:10MHz", "CHB:VPP:2Vpp", "CHA:AOFFS:3Vdc"}, 0, ""},
      // Refused by the session once the instrument has told the offset.
      {{"--keep", "CHA:AOFFS:2.5Vdc"},
       {"CHA:VPP:4Vpp", "CHA:AFREQ:1kHz"},
       2,
       "argument:1: not sent: channel A's output would go up to 4.5 V"},
      {{"--silent", "CHA:AOFFS"},
       {"CHA:VPP:1Vpp", "CHA:AFREQ:1kHz"},
       2,
       "argument:1: not sent: channel A's output cannot be checked against its limits: "
       "CHA:AOFFS is not known"},
      {{"--keep", "CHA:AOFFS:2.5Vdc", "--refuse", "CHA:AOFFS"},
       {"CHA:AOFFS:0Vdc", "CHA:VPP:4Vpp", "CHA:AFREQ:1kHz"},
       2,
       "argument:2: not sent: channel A's output would go up to 4.5 V"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments.join(' ').toStdString());
    Simulator instrument(c.instrument);
    const Result result =
        Send(QStringList{"--port", instrument.port, "--limits", limits} + c.arguments).Finish();
    EXPECT_EQ(result.status, c.status) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(c.said)) << result.err.toStdString();
    if (c.status == 0) continue;
    for (const QString& frame : instrument.Frames()) {
      EXPECT_TRUE(frame.endsWith('?') || frame.endsWith("AOFFS:0Vdc")) << frame.toStdString();
    }
  }
}

// Limits that cannot be read, or limit nothing, are an error, never "none".
TEST(ZrtSend, LimitsThatLimitNothingAreRefused) {
  QTemporaryDir dir;
  const std::pair<QString, const char*> files[] = {
      {Write(dir, "typo.ini", "[A]\nmax_freqency_hz = 1\n"),
       "typo.ini: line 2: unknown key 'max_freqency_hz'"},
      {Write(dir, "empty.ini", ""), "empty.ini: no limit is set"},
      {Write(dir, "sections.ini", "[A]\n[B]\n"), "sections.ini: no limit is set"},
      {"", "--limits needs a file"},
  };
  for (const auto& [file, said] : files) {
    const Result refused = Send({"--simulate", "--limits", file, "CHA:VPP:99Vpp"}).Finish();
    EXPECT_EQ(refused.status, 2) << said;
    EXPECT_TRUE(refused.err.contains(said)) << refused.err.toStdString();
  }
}

// Every item asked for, with what the instrument keeps against what was
// set and an item that never answers.
TEST(ZrtSend, ReadBackPrintsEveryItem) {
  Simulator instrument({"--keep", "CHA:VPP:3Vpp", "--silent", "CHB:PHASE"});
  ASSERT_EQ(Send({"--port", instrument.port, "88CHA:AFREQ1.5kHz", "CHA:VPP:1Vpp"}).Finish().status,
            0);
  const Result json = Send({"--port", instrument.port, "--read-back", "--json"}).Finish();
  EXPECT_EQ(json.status, 1) << "an item did not answer";
  const QList<QByteArray> lines = json.out.trimmed().split('\n');
  ASSERT_EQ(lines.size(), 14) << json.out.toStdString();
  std::map<QString, QJsonObject> items;
  QSet<QString> units;
  for (const QByteArray& line : lines) {
    const QJsonObject item = QJsonDocument::fromJson(line).object();
    items[item["function"].toString() + ":" + item["item"].toString()] = item;
    if (item["unit"].isString()) units << item["unit"].toString();
  }
  EXPECT_EQ(units, QSet<QString>({"Hz", "V", "%", "degrees", "No.", "times"}))
      << "as zrt-send(1) lists them";
  EXPECT_EQ(items["CHA:AFREQ"]["reply"].toString(), "1.5kHz");
  EXPECT_EQ(items["CHA:AFREQ"]["number"].toDouble(), 1500);
  EXPECT_EQ(items["CHA:AFREQ"]["unit"].toString(), "Hz");
  EXPECT_EQ(items["CHA:VPP"]["number"].toDouble(), 3) << "the instrument's own value";
  EXPECT_TRUE(items["CHA:AOFFS"]["number"].isDouble()) << "never set: 0";
  EXPECT_FALSE(items["CHB:PHASE"]["answered"].toBool());
  EXPECT_TRUE(items["CHB:PHASE"]["number"].isNull());
  EXPECT_EQ(instrument.Frames().filter("?").size(), 14);
  EXPECT_TRUE(instrument.Frames().contains("XCHB:BWAVE?"));

  const Result text = Send({"--port", instrument.port, "--read-back"}).Finish();
  EXPECT_TRUE(text.out.startsWith("CHA:AFREQ 1.5kHz\nCHA:VPP 3Vpp\n")) << text.out.toStdString();
  EXPECT_TRUE(text.out.contains("CHB:PHASE (no reply)\n"));
}

// A preset as the panel saves it runs unchanged, its expects met.
TEST(ZrtSend, APresetRunsAsItIsSaved) {
  zrt::settings::InstrumentSettings known;
  for (const char* line : {"88CHA:AFREQ1000Hz", "88CHB:BTRIG", "88CHB:VPP 2Vpp"}) {
    known.RecordReply(line, "OK\n");
  }
  known.RecordReply("88CHA:PHASE?", "90DEG\n");  // read back: no expect after it
  QTemporaryDir dir;
  const QString preset = Write(
      dir, "bench.zrt", QByteArray::fromStdString(zrt::settings::PresetText(known, "88", "bench")));
  Simulator instrument;
  const Result result = Send({"--port", instrument.port, "--file", preset}).Finish();
  EXPECT_EQ(result.status, 0) << result.err.toStdString();
  EXPECT_TRUE(result.err.contains("4 lines sent, 4 replies, 3 expects met, 0 missed"))
      << result.err.toStdString();
  QStringList frames;
  EXPECT_TRUE(QTest::qWaitFor([&] { return (frames = instrument.Frames()).size() >= 4; }, 5000));
  EXPECT_EQ(frames,
            QStringList({"XCHA:AFREQ:1000Hz", "XCHB:BTRIG", "XCHB:VPP:2Vpp", "XCHA:PHASE:90DEG"}));
}

// The shipped example, as the window's test runs it too: the same frames
// and replies on a local port and through a network serial server
// (ser2net) in both of its modes, paced on the wire each time.
TEST(ZrtSend, TheExampleLocallyAndThroughANetworkServer) {
  using zrt::tools::Ser2netServer;
  std::vector<std::optional<Ser2netServer::Kind>> routes{std::nullopt};
  if (Ser2netServer::Installed()) {
    routes.insert(routes.end(), {Ser2netServer::Kind::Rfc2217, Ser2netServer::Kind::Raw});
  }
  for (const auto& route : routes) {
    Simulator instrument;
    std::optional<Ser2netServer> server;
    if (route) server.emplace(*route, instrument.port);
    const QString port = server ? server->Address() : instrument.port;
    Send send({"--port", port, "--file", ZRT_EXAMPLES "/step-frequency.zrt"});
    const Result result = send.Finish();
    ASSERT_EQ(result.status, 0) << port.toStdString() << ": " << result.err.toStdString();
    EXPECT_EQ(result.out, "OK\n1000HZ\nOK\n2000HZ\nOK\n5000HZ\nOK\n10000HZ\nOK\n20000HZ\n");
    EXPECT_TRUE(result.err.contains("10 lines sent, 10 replies, 10 expects met, 0 missed"))
        << result.err.toStdString();
    QStringList frames;
    EXPECT_TRUE(QTest::qWaitFor([&] { return (frames = instrument.Frames()).size() >= 10; }, 5000));
    EXPECT_EQ(frames,
              QStringList({"XCHA:AFREQ:1000HZ", "CHA:AFREQ?", "XCHA:AFREQ:2000HZ", "CHA:AFREQ?",
                           "XCHA:AFREQ:5000HZ", "CHA:AFREQ?", "XCHA:AFREQ:10000HZ", "CHA:AFREQ?",
                           "XCHA:AFREQ:20000HZ", "CHA:AFREQ?"}))
        << port.toStdString();
    EXPECT_TRUE(instrument.Heard().filter("pacing:").isEmpty())
        << instrument.Heard().join('\n').toStdString();
  }
}

// A network port of the wrong kind: status 3, nothing printed as a reply,
// nothing sent to the instrument.
TEST(ZrtSend, TheWrongKindOfNetworkPortIsRefused) {
  using zrt::tools::Ser2netServer;
  if (!Ser2netServer::Installed()) GTEST_SKIP() << "ser2net is not installed";
  const struct {
    Ser2netServer::Kind kind;
    const char* scheme;
    const char* said;
  } cases[] = {
      {Ser2netServer::Kind::Rfc2217, "tcp://", "speaks RFC 2217: use rfc2217://"},
      {Ser2netServer::Kind::Raw, "rfc2217://", "is not an RFC 2217 server"},
  };
  for (const auto& c : cases) {
    zrt::link::testing::PtyPair instrument;
    Ser2netServer server(c.kind, QString::fromStdString(instrument.TerminalPath()));
    const Result result =
        Send({"--port", c.scheme + QString("127.0.0.1:%1").arg(server.Port()), "CHA:AFREQ?"})
            .Finish();
    EXPECT_EQ(result.status, 3) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(c.said)) << result.err.toStdString();
    EXPECT_TRUE(result.out.isEmpty());
    EXPECT_TRUE(instrument.Receive(1, 300).isEmpty());
  }
}

TEST(ZrtSend, JsonCarriesEveryByteBack) {
  zrt::link::testing::PtyPair instrument;
  Send send(
      {"--port", QString::fromStdString(instrument.TerminalPath()), "--json", "88CHA:AFREQ?"});
  ASSERT_EQ(Wire(instrument, 12), "XCHA:AFREQ?\n");
  // Every byte value but the two the port keeps for flow control (XON, XOFF).
  QByteArray reply;
  for (int byte = 0; byte < 256; ++byte) {
    if (byte != 0x11 && byte != 0x13) reply += static_cast<char>(byte);
  }
  instrument.Send(reply);
  const Result result = send.Finish();
  ASSERT_EQ(result.status, 0) << result.err.toStdString();
  const QJsonObject object = QJsonDocument::fromJson(result.out).object();
  EXPECT_EQ(object["line"].toString(), "88CHA:AFREQ?");
  EXPECT_EQ(QByteArray::fromHex(object["sent"].toString().toLatin1()), "XCHA:AFREQ?\n");
  EXPECT_EQ(object["reply"].toString().toLatin1(), reply);
  EXPECT_TRUE(object["answered"].toBool());
  EXPECT_TRUE(QDateTime::fromString(object["time"].toString(), Qt::ISODateWithMs).isValid());

  // The expects after a line travel with it, and a file's run ends with a summary.
  Send expecting({"--simulate", "--json", "-"},
                 "CHA:AFREQ?\nexpect 0\nCHA:AFREQ:5Hz\nexpect /^OK/\n");
  const Result run = expecting.Finish();
  ASSERT_EQ(run.status, 0) << run.err.toStdString();
  const QList<QByteArray> lines = run.out.trimmed().split('\n');
  ASSERT_EQ(lines.size(), 3) << run.out.toStdString();
  EXPECT_EQ(QJsonDocument::fromJson(lines[0]).object()["expect"].toObject(),
            (QJsonObject{{"pattern", "0"}, {"met", true}}));
  EXPECT_EQ(QJsonDocument::fromJson(lines[1]).object()["expect"].toObject(),
            (QJsonObject{{"pattern", "/^OK/"}, {"met", true}}));
  const QJsonObject summary = QJsonDocument::fromJson(lines[2]).object()["summary"].toObject();
  EXPECT_EQ(summary["lines"].toInt(), 2);
  EXPECT_EQ(summary["expectsMet"].toInt(), 2);
  EXPECT_EQ(summary["expectsMissed"].toInt(), 0);
}

// The version, as the GNU standards ask.
TEST(ZrtSend, SaysItsVersion) {
  const Result version = Send({"--version"}).Finish();
  EXPECT_EQ(version.status, 0);
  EXPECT_TRUE(version.out.startsWith("zrt-send ")) << version.out.toStdString();
}

// Servers and instruments that never let go: each run ends, with a status
// and a message of its own.
TEST(ZrtSend, NothingHoldsARunForEver) {
  using zrt::tools::MisbehavingServer;
  using zrt::tools::Misbehaviour;
  QTemporaryDir dir;
  const QString wait = Write(dir, "wait.zrt", "wait 25s\n");
  const struct {
    Misbehaviour misbehaviour;
    bool rfc2217;
    QStringList arguments;
    int status;
    const char* said;
  } cases[] = {
      {Misbehaviour::StopsReading, true, {"--file", wait}, 4, "took nothing for 2 s"},
      {Misbehaviour::ClosesAtOnce, false, {"A"}, 3, "closed the connection at once"},
      {Misbehaviour::ClosesAtOnce, true, {"A"}, 3, "closed the connection at once"},
  };
  for (const auto& c : cases) {
    MisbehavingServer server(c.misbehaviour);
    Send send(QStringList{"--port", QString::fromStdString(server.Address(c.rfc2217))} +
              c.arguments);
    const Result result = send.Finish(40000);
    EXPECT_EQ(result.status, c.status)
        << server.Address(c.rfc2217) << ": " << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(c.said)) << result.err.toStdString();
  }
  // An instrument that sends XOFF and never XON.
  zrt::link::testing::PtyPair instrument;
  Send held({"--port", QString::fromStdString(instrument.TerminalPath()), "--hold-limit", "300ms",
             "ABCDEFGH"});
  ASSERT_TRUE(Wire(instrument, 1).startsWith("A"));
  instrument.Send("\x13");
  const Result result = held.Finish(30000);
  EXPECT_EQ(result.status, 5) << result.err.toStdString();
  EXPECT_TRUE(result.err.contains("held output back (XOFF) for more than 0.3 s"))
      << result.err.toStdString();
}

}  // namespace
