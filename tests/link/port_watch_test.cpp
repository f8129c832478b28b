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

// A device tree and a /dev of the test's own: USB interfaces with their
// devices' serial numbers, terminals plugged into them, and by-id names.
struct DeviceTree {
  DeviceTree() : dir(root.path()) {
    dir.mkpath("dev");
    dir.mkpath("by-id");
  }
  // The interface `busPath`:1.`number` of a device with that serial number
  // (none when empty).
  QString Interface(const QString& busPath, int number, const QString& serial) {
    const QString device = "sys/devices/usb1/" + busPath;
    const QString interface = device + "/" + busPath + ":1." + QString::number(number);
    dir.mkpath(interface);
    if (!serial.isEmpty()) {
      QFile file(dir.filePath(device + "/serial"));
      EXPECT_TRUE(file.open(QIODevice::WriteOnly));
      file.write(serial.toUtf8() + "\n");
    }
    return dir.filePath(interface);
  }
  void Plug(const QString& node, const QString& interface, const PtyPair& pty) {
    dir.mkpath("sys/class/tty/" + node);
    QFile::remove(dir.filePath("sys/class/tty/" + node + "/device"));
    EXPECT_TRUE(QFile::link(interface, dir.filePath("sys/class/tty/" + node + "/device")));
    QFile::remove(dir.filePath("dev/" + node));
    EXPECT_TRUE(
        QFile::link(QString::fromStdString(pty.TerminalPath()), dir.filePath("dev/" + node)));
  }
  void Unplug(const QString& node) {
    QDir(dir.filePath("sys/class/tty/" + node)).removeRecursively();
    QFile::remove(dir.filePath("dev/" + node));
  }
  // udev's by-id name, made anew to lead to `node`; removed for none.
  void Name(const QString& name, const QString& node = {}) {
    QFile::remove(dir.filePath("by-id/" + name));
    if (!node.isEmpty()) {
      EXPECT_TRUE(QFile::link(dir.filePath("dev/" + node), dir.filePath("by-id/" + name)));
    }
  }
  std::string Dev() const { return dir.filePath("dev").toStdString(); }
  std::string Sys() const { return dir.filePath("sys").toStdString(); }
  std::string ById() const { return dir.filePath("by-id").toStdString(); }

  QTemporaryDir root;
  QDir dir;
};

// Waits through two periods: whether the watch said the port is back.
bool SaysBackWithin(QSignalSpy& back, int periods = 2) {
  return QTest::qWaitFor([&] { return back.count() > 0; },
                         periods * static_cast<int>(PortWatch::kPeriod.count()) + 200);
}

// Without a stable name, a USB adapter is known by its serial number and
// interface: not another adapter on the old node, nor the other port of a
// two-port adapter, which has the same serial number.
TEST(PortWatch, AUsbAdapterWithoutAStableNameByItsSerialNumber) {
  DeviceTree tree;
  const QString ours = tree.Interface("1-1", 0, "ZRT0001");
  const QString theirs = tree.Interface("1-2", 0, "FT4711");
  const QString sibling = tree.Interface("1-1", 1, "ZRT0001");
  PtyPair first;
  tree.Plug("ttyUSB0", ours, first);
  const std::string devDir = tree.Dev();
  EXPECT_EQ(UsbIdentityOf(devDir + "/ttyUSB0", devDir, tree.Sys()), "ZRT0001@1-1:1.0");

  PortWatch watch(tree.ById());
  watch.SetSystemDirs(devDir, tree.Sys());
  watch.Opened(devDir + "/ttyUSB0");
  tree.Unplug("ttyUSB0");
  ASSERT_TRUE(watch.Lost());
  QSignalSpy back(&watch, &PortWatch::Back);
  PtyPair other, next, again;
  tree.Plug("ttyUSB0", theirs, other);  // another adapter on the old node
  tree.Plug("ttyUSB2", sibling, next);  // our adapter's other port
  EXPECT_FALSE(SaysBackWithin(back));
  tree.Plug("ttyUSB1", ours, again);  // ours, on another node
  ASSERT_TRUE(SaysBackWithin(back, 5));
  EXPECT_EQ(back.first().first().toString().toStdString(), devDir + "/ttyUSB1");
}

// Two adapters without serial numbers share one by-id name: when ours is
// gone and udev points the name at the other, that is not ours coming back.
TEST(PortWatch, AStableNameLeadingElsewhereIsNotTheLostDevice) {
  DeviceTree tree;
  const QString ours = tree.Interface("1-1", 0, {});
  const QString theirs = tree.Interface("1-2", 0, {});
  const QString name = "usb-Generic_Serial-if00-port0";
  PtyPair first, second;
  tree.Plug("ttyUSB0", ours, first);
  tree.Plug("ttyUSB1", theirs, second);
  tree.Name(name, "ttyUSB0");
  PortWatch watch(tree.ById());
  watch.SetSystemDirs(tree.Dev(), tree.Sys());
  const std::string stable = tree.ById() + "/" + name.toStdString();
  watch.Opened(stable);
  ASSERT_EQ(watch.StableName(), stable);

  tree.Unplug("ttyUSB0");
  tree.Name(name);
  ASSERT_TRUE(watch.Lost());
  QSignalSpy back(&watch, &PortWatch::Back);
  tree.Name(name, "ttyUSB1");  // the other adapter takes the name
  EXPECT_FALSE(SaysBackWithin(back));
  PtyPair again;
  tree.Plug("ttyUSB2", ours, again);
  tree.Name(name, "ttyUSB2");  // ours back, and the name with it
  ASSERT_TRUE(SaysBackWithin(back, 5));
  EXPECT_EQ(back.first().first().toString().toStdString(), stable);
}

}  // namespace
}  // namespace zrt::link::testing
