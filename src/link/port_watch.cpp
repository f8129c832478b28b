#include "link/port_watch.h"

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "link/port/serial_port_net.h"

namespace zrt::link {

namespace fs = std::filesystem;

std::string StableNameOf(const std::string& name, const std::string& byIdDir) {
  std::error_code ec;
  const fs::path path(name);
  if (path.parent_path() == fs::path(byIdDir) && fs::is_symlink(path, ec)) return name;
  const fs::path device = fs::canonical(path, ec);
  if (ec) return {};
  for (const auto& entry : fs::directory_iterator(byIdDir, ec)) {
    std::error_code resolved;
    if (fs::canonical(entry.path(), resolved) == device && !resolved) return entry.path().string();
  }
  return {};
}

namespace {

// The terminal's name in the kernel ("ttyUSB0") for a node under `devDir`
// or a link that leads to one, however many links lie between.
std::string NodeNameOf(const std::string& name, const std::string& devDir) {
  std::error_code ec;
  fs::path path(name);
  for (int hop = 0; hop < 16; ++hop) {
    if (path.parent_path() == fs::path(devDir)) return path.filename().string();
    if (!fs::is_symlink(path, ec)) break;
    const fs::path target = fs::read_symlink(path, ec);
    if (ec) return {};
    path = (target.is_absolute() ? target : path.parent_path() / target).lexically_normal();
  }
  return fs::canonical(path, ec).filename().string();
}

struct UsbPlace {
  std::string interface;  // "1-1:1.0": the bus path, configuration and interface
  std::string serial;     // the USB device's serial number, if it has one
};

// From the terminal up the device tree to its USB interface and the device
// that holds it.
UsbPlace UsbPlaceOf(const std::string& name, const std::string& devDir, const std::string& sysDir) {
  UsbPlace place;
  const std::string node = NodeNameOf(name, devDir);
  if (node.empty()) return place;
  std::error_code ec;
  fs::path device = fs::canonical(fs::path(sysDir) / "class/tty" / node / "device", ec);
  for (; !ec && device.has_relative_path(); device = device.parent_path()) {
    const std::string part = device.filename().string();
    if (place.interface.empty() && part.find(':') != std::string::npos) place.interface = part;
    std::ifstream serial(device / "serial");
    if (serial && std::getline(serial, place.serial) && !place.serial.empty()) {
      if (place.interface.empty()) place.interface = part;
      break;
    }
  }
  return place;
}

}  // namespace

std::string UsbInterfaceOf(const std::string& name, const std::string& devDir,
                           const std::string& sysDir) {
  return UsbPlaceOf(name, devDir, sysDir).interface;
}

std::string UsbIdentityOf(const std::string& name, const std::string& devDir,
                          const std::string& sysDir) {
  const UsbPlace place = UsbPlaceOf(name, devDir, sysDir);
  return place.serial.empty() ? std::string() : place.serial + "@" + place.interface;
}

PortWatch::PortWatch(std::string byIdDir, QObject* parent)
    : QObject(parent), byIdDir_(std::move(byIdDir)) {
  timer_.setInterval(kPeriod);
  connect(&timer_, &QTimer::timeout, this, &PortWatch::Look);
  connect(&folder_, &QFileSystemWatcher::directoryChanged, this, [this] {
    if (Watching()) Look();
  });
}

PortWatch::~PortWatch() = default;

void PortWatch::Opened(const std::string& name) {
  Stop();
  network_ = NetworkAddressOf(name).has_value();
  stableName_ = network_ ? name : StableNameOf(name, byIdDir_);
  usbIdentity_ =
      network_ || !stableName_.empty() ? std::string() : UsbIdentityOf(name, devDir_, sysDir_);
  // Two adapters without serial numbers share one stable name, which udev
  // may point at the other once ours is gone: where ours sat tells them apart.
  stableInterface_ = network_ || stableName_.empty()
                         ? std::string()
                         : UsbInterfaceOf(stableName_, devDir_, sysDir_);
}

bool PortWatch::Lost() {
  if (!usbIdentity_.empty()) {
    timer_.start();
    return true;
  }
  if (stableName_.empty()) return false;
  struct stat link {};
  linkGone_ = lstat(stableName_.c_str(), &link) != 0;
  linkMade_ =
      linkGone_ ? LinkStamp{} : LinkStamp{link.st_ino, link.st_ctim.tv_sec, link.st_ctim.tv_nsec};
  timer_.start();
  // udev makes the link: where the folder can be watched, its change is
  // looked at at once; the timer covers a folder that is not there yet.
  if (!network_) folder_.addPath(QString::fromStdString(byIdDir_));
  return true;
}

void PortWatch::Stop() {
  timer_.stop();
  if (!folder_.directories().isEmpty()) folder_.removePaths(folder_.directories());
  ++generation_;  // a probe still out answers for nothing
}

void PortWatch::Look() {
  if (network_) {
    ProbeServer();
    return;
  }
  if (!usbIdentity_.empty()) {
    // Whichever terminal now belongs to the same USB device (its serial
    // number and its place on the bus).
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(fs::path(sysDir_) / "class/tty", ec)) {
      // Only USB terminals, not the dozens of consoles and UARTs.
      const std::string name = entry.path().filename().string();
      if (!name.starts_with("ttyUSB") && !name.starts_with("ttyACM")) continue;
      const std::string node = (fs::path(devDir_) / name).string();
      if (UsbIdentityOf(node, devDir_, sysDir_) == usbIdentity_) {
        emit Back(QString::fromStdString(node));
        return;
      }
    }
    return;
  }
  struct stat link {};
  if (lstat(stableName_.c_str(), &link) != 0) {
    linkGone_ = true;
    return;
  }
  // The link made anew, for the device that came back; the old link to a
  // node another device now has is not it.
  const LinkStamp now{link.st_ino, link.st_ctim.tv_sec, link.st_ctim.tv_nsec};
  if (!linkGone_ && now == linkMade_) return;
  if (!stableInterface_.empty() &&
      UsbInterfaceOf(stableName_, devDir_, sysDir_) != stableInterface_) {
    return;  // the name now leads to another device
  }
  emit Back(QString::fromStdString(stableName_));
}

}  // namespace zrt::link
