// Knowing a lost port again: by its stable name, and a network server by
// its address.
#include "link/port_watch.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "pty_pair.h"
#include "ser2net_server.h"

namespace zrt::link::testing {
namespace {

using tools::Ser2netServer;

TEST(PortWatch, StableNames) {
  QTemporaryDir byId;
  PtyPair named;
  PtyPair unnamed;
  const QString link = byId.filePath("usb-ZRT_Generator_0001-if00-port0");
  ASSERT_TRUE(QFile::link(QString::fromStdString(named.TerminalPath()), link));
  const std::string dir = byId.path().toStdString();
  struct Case {
    std::string name;
    std::string stable;
  } cases[] = {
      {link.toStdString(), link.toStdString()},    // the stable name itself
      {named.TerminalPath(), link.toStdString()},  // its node
      {unnamed.TerminalPath(), ""},                // a node without one
      {"/dev/zrt-no-such-port", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(StableNameOf(c.name, dir), c.stable) << c.name;

  PortWatch watch(dir);
  watch.Opened(unnamed.TerminalPath());
  EXPECT_FALSE(watch.Lost()) << "nothing to know it again by";
  EXPECT_FALSE(watch.Watching());
}

TEST(PortWatch, ANetworkServerIsBackWhenItAccepts) {
  if (!Ser2netServer::Installed()) GTEST_SKIP() << "ser2net is not installed";
  PtyPair pty;
  Ser2netServer server(Ser2netServer::Kind::Rfc2217, QString::fromStdString(pty.TerminalPath()));
  ASSERT_TRUE(server.IsUp());
  PortWatch watch;
  watch.Opened(server.Address().toStdString());
  server.Stop();
  ASSERT_TRUE(watch.Lost());
  QSignalSpy back(&watch, &PortWatch::Back);
  QTest::qWait(2 * PortWatch::kPeriod.count() + 200);
  EXPECT_EQ(back.count(), 0) << "back while nothing listens";
  ASSERT_TRUE(server.Start());
  ASSERT_TRUE(QTest::qWaitFor([&] { return back.count() > 0; }, 5000));
  EXPECT_EQ(back.first().first().toString(), server.Address());
  watch.Stop();
  EXPECT_FALSE(watch.Watching());
}

}  // namespace
}  // namespace zrt::link::testing
