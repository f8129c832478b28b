// Watches for a serial port that went away to come back, so that it can be
// reopened: the same device, recognised by its stable name, not whatever
// device next takes its node. A local port is known by the link under
// /dev/serial/by-id that led to it when it was opened; it counts as back
// once that link has been made anew (udev removes it when the device goes
// and makes it when the device comes). A port without such a link is known
// by its USB device's serial number and interface (its place on the bus),
// and is back on whichever node that interface's terminal then has; a
// stable name that comes back leading to another place is not it. A network port is back once its
// server accepts a connection. Looked at once a second, and at once when
// the by-id folder changes; a server is probed off the owner's thread, so
// that an unreachable one holds up nothing.
#pragma once

#include <sys/types.h>

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>
#include <string>
#include <thread>

namespace zrt::link {

class PortWatch : public QObject {
  Q_OBJECT

 public:
  static constexpr std::chrono::milliseconds kPeriod{1000};

  explicit PortWatch(std::string byIdDir = "/dev/serial/by-id", QObject* parent = nullptr);
  ~PortWatch() override;
  // Where the stable names, the device nodes and the kernel's device tree
  // are (tests give folders of their own).
  void SetByIdDir(std::string byIdDir) { byIdDir_ = std::move(byIdDir); }
  void SetSystemDirs(std::string devDir, std::string sysDir) {
    devDir_ = std::move(devDir);
    sysDir_ = std::move(sysDir);
  }

  // The port open now under `name`: how to know it again, if it can be known.
  void Opened(const std::string& name);
  // It was lost: watch for it. False when it has no stable name to watch for.
  bool Lost();
  // The operator closed or changed the port: nothing more to watch for.
  void Stop();
  bool Watching() const { return timer_.isActive(); }
  // The stable name of the port last opened (or, without one, its node);
  // empty when it has neither.
  const std::string& StableName() const { return stableName_; }

 signals:
  // The port may be back under `name`: try to open it. Comes again a
  // period later while the watch goes on.
  void Back(const QString& name);

 private:
  void Look();
  // Asks, off this thread, whether the server is accepting connections
  // again; Back follows when it is.
  void ProbeServer();

  std::string byIdDir_;
  std::string devDir_ = "/dev";
  std::string sysDir_ = "/sys";
  std::string stableName_;
  std::string usbIdentity_;      // "SERIAL@INTERFACE" of a port without a stable name
  std::string stableInterface_;  // the USB interface the stable name led to, if any
  bool network_ = false;
  // The by-id link when the port was lost. A link made anew may get the
  // same inode, never the same change time.
  struct LinkStamp {
    ino_t inode = 0;
    time_t seconds = 0;
    long nanoseconds = 0;
    bool operator==(const LinkStamp&) const = default;
  };
  LinkStamp linkMade_;
  bool linkGone_ = false;
  QTimer timer_;
  QFileSystemWatcher folder_;
  int generation_ = 0;  // of the watch; a probe answers for the one that started it
  bool probing_ = false;
  std::jthread probe_;  // last: joined before the rest goes
};

// The link under `byIdDir` that leads to the same device as `name`, or
// `name` itself when it is such a link; empty when there is none.
std::string StableNameOf(const std::string& name, const std::string& byIdDir);
// The USB interface ("1-1:1.0": place on the bus, configuration and
// interface) whose terminal `name` (a node under `devDir`, or a link to
// one) is, read from the device tree under `sysDir`; empty when it is no
// USB device's.
std::string UsbInterfaceOf(const std::string& name, const std::string& devDir,
                           const std::string& sysDir);
// "SERIAL@INTERFACE": that interface with its USB device's serial number,
// which both ports of a two-port adapter share; empty when the device has
// no serial number.
std::string UsbIdentityOf(const std::string& name, const std::string& devDir,
                          const std::string& sysDir);

}  // namespace zrt::link
