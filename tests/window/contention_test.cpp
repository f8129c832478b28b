// Eight programs send fifty lines each through the panel at once while the
// operator sends too: every reply reaches its sender, every frame reaches
// the instrument whole and paced, nothing is lost, and the log holds each
// program's lines in their order. Takes a minute or so: each line waits for
// the reply before it.
#include <QCheckBox>
#include <QLineEdit>
#include <algorithm>
#include <iterator>
#include <mutex>

#include "net/stream_socket.h"
#include "serve/instrument_server.h"
#include "sim/pty_instrument.h"
#include "window/log/session_log.h"
#include "window/port/share_control.h"
#include "window_fixture.h"

namespace zrt::window::testing {
namespace {

using namespace std::chrono_literals;

constexpr int kClients = 8;
constexpr int kLines = 50;

// Client i sets and reads back a value of its own, so that a reply given
// to the wrong client, or a frame mixed with another, shows.
// Short frames the instrument reads, an item a client: the test takes long enough.
constexpr const char* kNames[kClients] = {"AMVPP", "AMEXT",  "AMVER",  "AMLPF",
                                          "AMARB", "AMADDR", "AMBEEP", "AMLANG"};

QByteArray LineOf(int client, int line) {
  const QByteArray name = kNames[client];
  const int value = (client + 1) * 1000 + line / 2;
  return line % 2 ? "88" + name + "?\n" : "88" + name + QByteArray::number(value) + "\n";
}

QByteArray ReplyOf(int client, int line) {
  return line % 2 ? QByteArray::number((client + 1) * 1000 + line / 2) + "\n" : "OK\n";
}

using ContentionTest = WindowTest;

TEST_F(ContentionTest, EightProgramsAndTheOperator) {
  std::mutex mutex;
  std::vector<std::string> unpaced;
  // Paced bytes are sent 10 ms apart; bytes sent at once, ~0 ms apart.
  sim::PtyInstrument instrument({88, 5ms, [&](const std::string& said) {
                                   if (said.starts_with("pacing:")) {
                                     const std::lock_guard lock(mutex);
                                     unpaced.push_back(said);
                                   }
                                 }});
  Get<QComboBox>("cbo1")->setEditText(QString::fromStdString(instrument.TerminalPath()));
  Click("btn106");
  ASSERT_TRUE(form->PortOpen());
  form->Sharing().SetAddress("127.0.0.1", 0);
  form->Sharing().SetOn(true);
  ASSERT_TRUE(form->Sharing().On());
  const std::uint16_t port = form->Sharing().Server()->Port();

  std::vector<net::StreamSocket> clients;
  std::vector<QByteArray> replies(kClients);
  for (int i = 0; i < kClients; ++i) {
    clients.push_back(net::StreamSocket::Connect("127.0.0.1", port));
    QByteArray all;
    for (int line = 0; line < kLines; ++line) all += LineOf(i, line);
    ASSERT_EQ(clients[i].Write(all.constData(), static_cast<std::size_t>(all.size())), all.size());
  }
  int operatorLines = 0;
  auto allAnswered = [&] {
    char bytes[4096];
    bool done = true;
    for (int i = 0; i < kClients; ++i) {
      for (std::ptrdiff_t n; (n = clients[i].Read(bytes, sizeof bytes)) > 0;) {
        replies[i].append(bytes, n);
      }
      done = done && replies[i].count('\n') >= kLines;
    }
    // The operator sends whenever Send is there again, meanwhile.
    if (!done && operatorLines < 5 && Button("btn96")->isEnabled()) {
      Get<QLineEdit>("Edit1")->setText("88Z?");
      Click("btn96");
      ++operatorLines;
    }
    return done;
  };
  ASSERT_TRUE(QTest::qWaitFor(allAnswered, 400000));

  for (int i = 0; i < kClients; ++i) {
    QByteArray expected;
    for (int line = 0; line < kLines; ++line) expected += ReplyOf(i, line);
    EXPECT_EQ(replies[i], expected) << "client " << i;
  }
  EXPECT_EQ(operatorLines, 5) << "the operator's Send never came back among the programs'";
  {
    // A late reading never brings paced bytes closer, however busy the machine.
    const std::lock_guard lock(mutex);
    EXPECT_TRUE(unpaced.empty()) << unpaced.front();
  }
  // The log holds each program's lines, in their order, and the operator's.
  std::vector<QByteArray> logged(kClients);
  int operatorLogged = 0;
  for (qsizetype row = 0; row < form->Log().Size(); ++row) {
    const LogEntry entry = form->Log().At(row);
    if (entry.kind != LogEntry::Kind::Sent) continue;
    if (entry.bytes.startsWith("XZ")) ++operatorLogged;
    const auto named = std::find_if(std::begin(kNames), std::end(kNames), [&](const char* name) {
      return entry.bytes.mid(1).startsWith(name);
    });
    const auto client = named - std::begin(kNames);
    if (client < kClients && entry.link.contains("(tcp 127.0.0.1:")) {
      logged[client] += "88" + entry.bytes.mid(1);
    }
  }
  EXPECT_EQ(operatorLogged, 5);
  for (int i = 0; i < kClients; ++i) {
    QByteArray expected;
    for (int line = 0; line < kLines; ++line) expected += LineOf(i, line);
    EXPECT_EQ(logged[i], expected) << "client " << i;
  }
}

}  // namespace
}  // namespace zrt::window::testing
