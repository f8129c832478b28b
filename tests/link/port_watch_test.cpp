// Knowing a lost port again: by its stable name, or by its USB device's
// serial number. (A network server's return is tested through the window.)
#include "link/port_watch.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "pty_pair.h"

namespace zrt::link::testing {
namespace {

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

// Without a stable name, a USB adapter is known by its serial number and
// place on the bus, in a device tree and a /dev of the test's own.
TEST(PortWatch, AUsbAdapterWithoutAStableNameByItsSerialNumber) {
  QTemporaryDir root;
  QDir dir(root.path());
  auto adapter = [&](const QString& busPath, const QString& serial) {
    const QString device = "sys/devices/usb1/" + busPath;
    dir.mkpath(device + "/" + busPath + ":1.0");
    QFile number(dir.filePath(device + "/serial"));
    EXPECT_TRUE(number.open(QIODevice::WriteOnly));
    number.write(serial.toUtf8() + "\n");
    return dir.filePath(device + "/" + busPath + ":1.0");
  };
  auto plug = [&](const QString& node, const QString& interface, const PtyPair& pty) {
    dir.mkpath("sys/class/tty/" + node);
    QFile::remove(dir.filePath("sys/class/tty/" + node + "/device"));
    EXPECT_TRUE(QFile::link(interface, dir.filePath("sys/class/tty/" + node + "/device")));
    dir.mkpath("dev");
    QFile::remove(dir.filePath("dev/" + node));
    EXPECT_TRUE(
        QFile::link(QString::fromStdString(pty.TerminalPath()), dir.filePath("dev/" + node)));
  };
  auto unplug = [&](const QString& node) {
    QDir(dir.filePath("sys/class/tty/" + node)).removeRecursively();
    QFile::remove(dir.filePath("dev/" + node));
  };
  const QString ours = adapter("1-1", "ZRT0001");
  const QString theirs = adapter("1-2", "FT4711");
  PtyPair first;
  plug("ttyUSB0", ours, first);
  const std::string devDir = dir.filePath("dev").toStdString();
  const std::string sysDir = dir.filePath("sys").toStdString();
  EXPECT_EQ(UsbIdentityOf(devDir + "/ttyUSB0", devDir, sysDir), "ZRT0001@1-1");

  PortWatch watch(dir.filePath("by-id").toStdString());
  watch.SetSystemDirs(devDir, sysDir);
  watch.Opened(devDir + "/ttyUSB0");
  unplug("ttyUSB0");
  ASSERT_TRUE(watch.Lost());
  QSignalSpy back(&watch, &PortWatch::Back);
  // Another adapter on the old node is not it.
  PtyPair other;
  plug("ttyUSB0", theirs, other);
  QTest::qWait(2 * PortWatch::kPeriod.count() + 200);
  EXPECT_EQ(back.count(), 0);
  // Ours back, on another node.
  PtyPair again;
  plug("ttyUSB1", ours, again);
  ASSERT_TRUE(QTest::qWaitFor([&] { return back.count() > 0; }, 5000));
  EXPECT_EQ(back.first().first().toString().toStdString(), devDir + "/ttyUSB1");
}

}  // namespace
}  // namespace zrt::link::testing
