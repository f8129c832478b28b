#include "bridge_emulator.h"

#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>
#include <umockdev.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace zrt::tools {
namespace {

constexpr const char* kSysPath = "/sys/devices/pci0000:00/usb1/1-1";

// The bus's name for the device at an address on bus 1.
std::string NodeOf(int address) {
  char node[32];
  std::snprintf(node, sizeof node, "/dev/bus/usb/001/%03d", address);
  return node;
}

// Device, configuration, interface 0 (vendor class) and its two bulk
// endpoints of 64 bytes: 0x02 out, 0x82 in; at an address on bus 1.
std::string DeviceAt(int address) {
  const std::string number = NodeOf(address).substr(17);  // "002"
  return "P: /devices/pci0000:00/usb1/1-1\n"
         "N: bus/usb/001/" +
         number +
         "\n"
         "E: SUBSYSTEM=usb\n"
         "E: DEVTYPE=usb_device\n"
         "E: DRIVER=usb\n"
         "E: BUSNUM=001\n"
         "E: DEVNUM=" +
         number +
         "\n"
         "E: DEVNAME=" +
         NodeOf(address) +
         "\n"
         "E: PRODUCT=1a86/5537/100\n"
         "A: busnum=1\\n\n"
         "A: devnum=" +
         std::to_string(address) +
         "\\n\n"
         "A: bConfigurationValue=1\\n\n"
         "A: speed=12\\n\n"
         "A: idVendor=1a86\\n\n"
         "A: idProduct=5537\\n\n"
         "H: descriptors=12010002000000408"
         "61a3755000100000001"
         "0902200001010080320904000002ff0000000705020240000007058202400000\n";
}

void Release(std::vector<UMockdevIoctlData*>& list) {
  for (UMockdevIoctlData* d : list) umockdev_ioctl_data_unref(d);
  list.clear();
}

}  // namespace

bool BridgeEmulator::Available() {
  const char* preload = std::getenv("LD_PRELOAD");
  return preload && std::strstr(preload, "umockdev");
}

BridgeEmulator::BridgeEmulator()
    : testbed_(umockdev_testbed_new()), handler_(umockdev_ioctl_base_new()) {
  g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(&BridgeEmulator::OnIoctl), this);
}

BridgeEmulator::~BridgeEmulator() {
  {
    std::lock_guard lock(mutex_);
    Release(done_);
    Release(waiting_);
  }
  g_clear_object(&handler_);
  g_clear_object(&testbed_);
}

void BridgeEmulator::Plug(int address) {
  {
    std::lock_guard lock(mutex_);
    gone_ = false;
  }
  node_ = NodeOf(address);
  GError* error = nullptr;
  umockdev_testbed_attach_ioctl(testbed_, node_.c_str(), handler_, &error);
  g_clear_error(&error);
  umockdev_testbed_add_from_string(testbed_, DeviceAt(address).c_str(), &error);
  g_clear_error(&error);
  umockdev_testbed_uevent(testbed_, kSysPath, "add");
}

void BridgeEmulator::Unplug() {
  {
    std::lock_guard lock(mutex_);
    gone_ = true;
  }
  umockdev_testbed_uevent(testbed_, kSysPath, "remove");
  umockdev_testbed_remove_device(testbed_, kSysPath);
  GError* error = nullptr;
  umockdev_testbed_detach_ioctl(testbed_, node_.c_str(), &error);
  g_clear_error(&error);
}

void BridgeEmulator::QueueReply(const QByteArray& bytes, std::chrono::milliseconds pause) {
  std::lock_guard lock(mutex_);
  if (pause.count() == 0 && !reply_.empty()) {
    reply_.back().bytes += bytes;
  } else {
    reply_.push_back({bytes, pause});
  }
}

void BridgeEmulator::AcceptAtMost(int bytes) {
  std::lock_guard lock(mutex_);
  acceptAtMost_ = bytes;
}

std::vector<QByteArray> BridgeEmulator::Written() const {
  std::lock_guard lock(mutex_);
  return written_;
}

void BridgeEmulator::HoldElsewhere(bool held) {
  std::lock_guard lock(mutex_);
  heldElsewhere_ = held;
}

bool BridgeEmulator::Claimed() const {
  std::lock_guard lock(mutex_);
  return claimed_;
}

int BridgeEmulator::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self) {
  return static_cast<BridgeEmulator*>(self)->Handle(client);
}

bool BridgeEmulator::Handle(UMockdevIoctlClient* client) {
  std::lock_guard lock(mutex_);
  const unsigned long request = umockdev_ioctl_client_get_request(client);
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  auto fail = [&](int error) {
    umockdev_ioctl_client_complete(client, -1, error);
    return true;
  };
  auto succeed = [&] {
    umockdev_ioctl_client_complete(client, 0, 0);
    return true;
  };
  if (gone_) return fail(ENODEV);

  switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
      UMockdevIoctlData* caps = umockdev_ioctl_data_resolve(arg, 0, sizeof(guint32), nullptr);
      *reinterpret_cast<guint32*>(caps->data) = USBDEVFS_CAP_BULK_CONTINUATION |
                                                USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                                USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
      umockdev_ioctl_data_unref(caps);
      return succeed();
    }
    case USBDEVFS_CLAIMINTERFACE:
      if (heldElsewhere_) return fail(EBUSY);
      claimed_ = true;
      return succeed();
    case USBDEVFS_RELEASEINTERFACE:
      claimed_ = false;
      return succeed();
    case USBDEVFS_IOCTL:  // no kernel driver to detach or attach
    case USBDEVFS_GETDRIVER:
      return fail(ENODATA);
    case USBDEVFS_CLEAR_HALT:
    case USBDEVFS_RESET:
    case USBDEVFS_RESETEP:
      return succeed();
    case USBDEVFS_SUBMITURB: {
      UMockdevIoctlData* urbData =
          umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
      auto* urb = reinterpret_cast<usbdevfs_urb*>(urbData->data);
      UMockdevIoctlData* buffer = umockdev_ioctl_data_resolve(
          urbData, G_STRUCT_OFFSET(usbdevfs_urb, buffer), urb->buffer_length, nullptr);
      if (urb->type != USBDEVFS_URB_TYPE_BULK) {
        umockdev_ioctl_data_unref(buffer);
        umockdev_ioctl_data_unref(urbData);
        return fail(EINVAL);
      }
      if (!(urb->endpoint & 0x80)) {
        const int taken =
            acceptAtMost_ < 0 ? urb->buffer_length : std::min(urb->buffer_length, acceptAtMost_);
        written_.emplace_back(reinterpret_cast<const char*>(buffer->data), taken);
        urb->actual_length = taken;
        urb->status = 0;
        done_.push_back(urbData);
      } else {
        waiting_.push_back(urbData);
      }
      umockdev_ioctl_data_unref(buffer);
      return succeed();
    }
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY: {
      const auto now = std::chrono::steady_clock::now();
      while (!reply_.empty() && reply_.front().bytes.isEmpty() &&
             now >= lastSent_ + reply_.front().pause) {
        reply_.pop_front();  // an empty burst: nothing to send
      }
      if (done_.empty() && !waiting_.empty() && !reply_.empty() &&
          now >= lastSent_ + reply_.front().pause) {
        UMockdevIoctlData* urbData = waiting_.front();
        waiting_.erase(waiting_.begin());
        auto* urb = reinterpret_cast<usbdevfs_urb*>(urbData->data);
        QByteArray& burst = reply_.front().bytes;
        const int n = std::min<int>(urb->buffer_length, static_cast<int>(burst.size()));
        std::memcpy(urb->buffer, burst.constData(), static_cast<std::size_t>(n));
        burst.remove(0, n);
        reply_.front().pause = std::chrono::milliseconds::zero();  // the rest follows at once
        if (burst.isEmpty()) reply_.pop_front();
        lastSent_ = now;
        urb->actual_length = n;
        urb->status = 0;
        done_.push_back(urbData);
      }
      if (done_.empty()) return fail(EAGAIN);
      UMockdevIoctlData* urbData = done_.front();
      done_.erase(done_.begin());
      UMockdevIoctlData* out = umockdev_ioctl_data_resolve(arg, 0, sizeof(gpointer), nullptr);
      umockdev_ioctl_data_set_ptr(out, 0, urbData);
      umockdev_ioctl_data_unref(out);
      umockdev_ioctl_data_unref(urbData);
      return succeed();
    }
    case USBDEVFS_DISCARDURB: {
      const auto address = reinterpret_cast<gulong>(*reinterpret_cast<void**>(arg->data));
      auto found = std::find_if(waiting_.begin(), waiting_.end(),
                                [&](UMockdevIoctlData* d) { return d->client_addr == address; });
      if (found == waiting_.end()) return fail(EINVAL);
      reinterpret_cast<usbdevfs_urb*>((*found)->data)->status = -ENOENT;
      done_.push_back(*found);
      waiting_.erase(found);
      return succeed();
    }
    default:
      return false;
  }
}

}  // namespace zrt::tools
