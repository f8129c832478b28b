#include "link/ch375_libusb.h"

#include <libusb.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <optional>
#include <stop_token>
#include <thread>
#include <utility>
#include <vector>

#include "link/libusb_api.h"
#include "link/usb_reply.h"

namespace zrt::link {
namespace {

using namespace std::chrono_literals;

// After an arrival the device node may still be root's for a moment, until
// udev has given the seat's user access.
constexpr auto kAccessGrace = 1s;
constexpr auto kRescanInterval = 1s;
constexpr auto kReplyQuiet = 100ms;
constexpr qsizetype kReplyLimit = 64 * 1024;
// Packets per read: the buffer is a whole number of packets, or libusb
// reports an overflow when the device sends a full one.
constexpr int kPacketsPerRead = 64;

// libusb, once loaded: everything but a new context is reached only
// through one, which needs it loaded.
const LibusbApi& Usb() { return *Libusb(); }

bool IsBridge(libusb_device* device) {
  libusb_device_descriptor descriptor{};
  if (Usb().get_device_descriptor(device, &descriptor) != 0) return false;
  for (const UsbId& id : kBridgeIds) {
    if (descriptor.idVendor == id.vendor && descriptor.idProduct == id.product) return true;
  }
  return false;
}

struct ContextDeleter {
  void operator()(libusb_context* context) const { Usb().exit(context); }
};
using Context = std::unique_ptr<libusb_context, ContextDeleter>;

Context NewContext() {
  libusb_context* context = nullptr;
  if (!Libusb() || Usb().init(&context) != 0) return nullptr;
  return Context(context);
}

// The index-th bridge present, referenced; nullptr when there is none.
libusb_device* FindBridge(libusb_context* context, int index) {
  libusb_device** list = nullptr;
  const ssize_t count = Usb().get_device_list(context, &list);
  libusb_device* found = nullptr;
  for (ssize_t i = 0; i < count && !found; ++i) {
    if (IsBridge(list[i]) && index-- == 0) found = Usb().ref_device(list[i]);
  }
  if (count >= 0) Usb().free_device_list(list, 1);
  return found;
}

// Which device on the bus a bridge is: its bus and address, which a new
// plug-in changes even in the same socket.
struct BusPlace {
  std::uint8_t bus;
  std::uint8_t address;
  bool operator==(const BusPlace&) const = default;
};

// The first bridge present, or nothing.
std::optional<BusPlace> BridgePlace() {
  Context context = NewContext();
  if (!context) return std::nullopt;
  libusb_device* device = FindBridge(context.get(), 0);
  if (!device) return std::nullopt;
  const BusPlace place{Usb().get_bus_number(device), Usb().get_device_address(device)};
  Usb().unref_device(device);
  return place;
}

// Whether the first bridge present can be opened by now, or at least not
// for want of permission (after an arrival, udev may not yet have given the
// seat's user access to its node).
bool BridgeAccessible() {
  Context context = NewContext();
  if (!context) return true;
  libusb_device* device = FindBridge(context.get(), 0);
  if (!device) return true;
  libusb_device_handle* handle = nullptr;
  const int rc = Usb().open(device, &handle);
  if (rc == 0) Usb().close(handle);
  Usb().unref_device(device);
  return rc != LIBUSB_ERROR_ACCESS;
}

// Waits, on the monitor's thread, until an arrived bridge can be opened or
// the grace has passed, so that the owner's open does not have to wait.
void AwaitAccess(std::stop_token stop) {
  const auto giveUp = std::chrono::steady_clock::now() + kAccessGrace;
  std::mutex mutex;
  std::condition_variable_any wake;
  std::unique_lock lock(mutex);
  while (!BridgeAccessible() && std::chrono::steady_clock::now() < giveUp) {
    wake.wait_for(lock, stop, 100ms, [] { return false; });
    if (stop.stop_requested()) return;
  }
}

bool UdevDaemonRunning() { return std::filesystem::exists("/run/udev/control"); }

}  // namespace

// One opened bridge: its own context (so that a device plugged in after
// start is found even where no udev daemon updates a long-lived one), its
// handle, the claimed interface, and the transfer under way.
class LibusbCh375::Device {
 public:
  static std::unique_ptr<Device> Open(int index) {
    Context context = NewContext();
    if (!context) return nullptr;
    libusb_device* device = FindBridge(context.get(), index);
    if (!device) return nullptr;
    libusb_device_handle* handle = nullptr;
    // One try: the monitor has waited for access after an arrival.
    const int rc = Usb().open(device, &handle);
    const int packet = Usb().get_max_packet_size(device, kBulkIn);
    Usb().unref_device(device);
    if (rc != 0) return nullptr;
    Usb().set_auto_detach_kernel_driver(handle, 1);  // not every system supports it
    if (Usb().claim_interface(handle, kBridgeInterface) != 0) {
      Usb().close(handle);  // another program holds it
      return nullptr;
    }
    return std::unique_ptr<Device>(
        new Device(std::move(context), handle, packet > 0 ? packet : 64));
  }

  ~Device() {
    Usb().release_interface(handle_, kBridgeInterface);
    Usb().close(handle_);
  }

  // One bulk transfer, waited for on this thread; a libusb status. A
  // transfer that times out reports the bytes it moved before.
  int Transfer(unsigned char endpoint, unsigned char* data, int length,
               std::chrono::milliseconds timeout, int* moved) {
    *moved = 0;
    libusb_transfer* transfer = Usb().alloc_transfer(0);
    if (!transfer) return LIBUSB_ERROR_NO_MEM;
    int done = 0;
    libusb_fill_bulk_transfer(
        transfer, handle_, endpoint, data, length,
        [](libusb_transfer* t) { *static_cast<int*>(t->user_data) = 1; }, &done,
        static_cast<unsigned>(timeout.count()));
    {
      std::lock_guard lock(transferMutex_);
      const int rc = cancelled_ ? LIBUSB_ERROR_INTERRUPTED : Usb().submit_transfer(transfer);
      if (rc != 0) {
        Usb().free_transfer(transfer);
        return rc;
      }
      current_ = transfer;
    }
    while (!done) {
      timeval tick{0, 100000};
      const int rc = Usb().handle_events_timeout_completed(context_.get(), &tick, &done);
      if (rc != 0 && rc != LIBUSB_ERROR_INTERRUPTED && !done) Usb().cancel_transfer(transfer);
    }
    {
      std::lock_guard lock(transferMutex_);
      current_ = nullptr;
    }
    *moved = transfer->actual_length;
    const int status = StatusOf(transfer->status);
    Usb().free_transfer(transfer);
    return status;
  }

  // Ends the transfer under way and refuses further ones; from any thread.
  void Cancel() {
    std::lock_guard lock(transferMutex_);
    cancelled_ = true;
    if (current_) Usb().cancel_transfer(current_);
  }

  int ReadSize() const { return packet_ * kPacketsPerRead; }

 private:
  Device(Context context, libusb_device_handle* handle, int packet)
      : context_(std::move(context)), handle_(handle), packet_(packet) {}

  static int StatusOf(libusb_transfer_status status) {
    switch (status) {
      case LIBUSB_TRANSFER_COMPLETED:
        return 0;
      case LIBUSB_TRANSFER_TIMED_OUT:
        return LIBUSB_ERROR_TIMEOUT;
      case LIBUSB_TRANSFER_CANCELLED:
        return LIBUSB_ERROR_INTERRUPTED;
      case LIBUSB_TRANSFER_NO_DEVICE:
        return LIBUSB_ERROR_NO_DEVICE;
      case LIBUSB_TRANSFER_OVERFLOW:
        return LIBUSB_ERROR_OVERFLOW;
      case LIBUSB_TRANSFER_STALL:
        return LIBUSB_ERROR_PIPE;
      case LIBUSB_TRANSFER_ERROR:
        break;
    }
    return LIBUSB_ERROR_IO;
  }

  Context context_;  // outlives the handle: declared first
  libusb_device_handle* handle_;
  const int packet_;
  std::mutex transferMutex_;
  libusb_transfer* current_ = nullptr;
  bool cancelled_ = false;
};

// Plug notifications: hot-plug callbacks handled on a thread of ours, or,
// without a udev daemon (libusb then registers callbacks that never fire),
// a rescan once a second. Either way, devices present at the start are
// reported as arrivals on the starting thread.
class LibusbCh375::Monitor {
 public:
  static std::unique_ptr<Monitor> Start(NotifyRoutine routine, PlugSource source) {
    if (!Libusb()) return nullptr;  // without libusb no plug can be watched: say so
    if (source == PlugSource::Automatic) {
      source = UdevDaemonRunning() && Usb().has_capability(LIBUSB_CAP_HAS_HOTPLUG)
                   ? PlugSource::HotplugCallbacks
                   : PlugSource::Rescan;
    }
    auto monitor = std::unique_ptr<Monitor>(new Monitor(std::move(routine)));
    const bool started = source == PlugSource::HotplugCallbacks ? monitor->StartCallbacks()
                                                                : monitor->StartRescans();
    return started ? std::move(monitor) : nullptr;
  }

  ~Monitor() {
    if (context_) {
      for (libusb_hotplug_callback_handle handle : callbacks_) {
        Usb().hotplug_deregister_callback(context_.get(), handle);
      }
      stopping_.store(true);
      Usb().interrupt_event_handler(context_.get());
    }
    thread_.request_stop();
    if (thread_.joinable()) thread_.join();
  }

 private:
  explicit Monitor(NotifyRoutine routine) : routine_(std::move(routine)) {}

  bool StartCallbacks() {
    context_ = NewContext();
    if (!context_) return false;
    for (const UsbId& id : kBridgeIds) {
      libusb_hotplug_callback_handle handle = 0;
      const int rc = Usb().hotplug_register_callback(
          context_.get(), LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED | LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT,
          LIBUSB_HOTPLUG_ENUMERATE, id.vendor, id.product, LIBUSB_HOTPLUG_MATCH_ANY, &OnPlug, this,
          &handle);
      if (rc != 0) return false;
      callbacks_.push_back(handle);
    }
    enumerating_ = false;
    thread_ = std::jthread([this](std::stop_token stop) {
      while (!stopping_.load()) {
        timeval tick{1, 0};
        Usb().handle_events_timeout_completed(context_.get(), &tick, nullptr);
        for (std::uint32_t code : std::exchange(pending_, {})) {
          if (code == kPlugArrived) AwaitAccess(stop);
          if (stopping_.load() || stop.stop_requested()) return;
          routine_(code);
        }
      }
    });
    return true;
  }

  bool StartRescans() {
    std::optional<BusPlace> present = BridgePlace();
    if (present) routine_(kPlugArrived);
    thread_ = std::jthread([this, present](std::stop_token stop) mutable {
      std::mutex mutex;
      std::condition_variable_any wake;
      std::unique_lock lock(mutex);
      for (;;) {
        wake.wait_for(lock, stop, kRescanInterval, [] { return false; });
        if (stop.stop_requested()) return;
        // Another device, or the same one plugged in again, sits at another
        // place on the bus: it left, and one arrived.
        const std::optional<BusPlace> now = BridgePlace();
        if (now == present) continue;
        if (present) routine_(kPlugRemoved);
        present = now;
        if (!now) continue;
        AwaitAccess(stop);
        if (stop.stop_requested()) return;
        routine_(kPlugArrived);
      }
    });
    return true;
  }

  // Devices present at registration are told at once, on the starting
  // thread; later events on the monitor's thread once libusb is done with
  // the callback, so that waiting for access does not hold it up.
  static int LIBUSB_CALL OnPlug(libusb_context*, libusb_device*, libusb_hotplug_event event,
                                void* self) {
    auto* monitor = static_cast<Monitor*>(self);
    const std::uint32_t code =
        event == LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED ? kPlugArrived : kPlugRemoved;
    if (monitor->enumerating_) {
      monitor->routine_(code);
    } else {
      monitor->pending_.push_back(code);
    }
    return 0;  // stay registered
  }

  NotifyRoutine routine_;
  Context context_;  // callbacks only
  std::vector<libusb_hotplug_callback_handle> callbacks_;
  bool enumerating_ = true;             // until the callbacks are registered
  std::vector<std::uint32_t> pending_;  // the monitor thread's, from the callbacks
  std::atomic<bool> stopping_{false};
  std::jthread thread_;  // declared last: it ends before the rest goes
};

LibusbCh375::LibusbCh375(PlugSource source) : source_(source) {}

LibusbCh375::~LibusbCh375() {
  monitor_.reset();
  CH375CloseDevice(0);
}

std::int32_t LibusbCh375::CH375OpenDevice(std::int32_t index) {
  std::lock_guard lock(deviceMutex_);
  if (device_) return 0;
  device_ = Device::Open(index);
  return device_ ? 0 : kInvalidDeviceHandle;
}

void LibusbCh375::CH375CloseDevice(std::int32_t) {
  if (device_) device_->Cancel();  // a transfer under way gives up the lock at once
  std::lock_guard lock(deviceMutex_);
  device_.reset();
}

bool LibusbCh375::CH375SetTimeout(std::int32_t, std::uint32_t writeMs, std::uint32_t readMs) {
  writeTimeoutMs_.store(writeMs);
  readTimeoutMs_.store(readMs);
  return true;
}

bool LibusbCh375::CH375WriteData(std::int32_t, const void* buffer, std::uint32_t* length) {
  std::lock_guard lock(deviceMutex_);
  if (!device_ || *length == 0) return false;
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  std::vector<unsigned char> frame(bytes, bytes + *length);
  int moved = 0;
  const int rc = device_->Transfer(kBulkOut, frame.data(), static_cast<int>(frame.size()),
                                   std::chrono::milliseconds(writeTimeoutMs_.load()), &moved);
  return rc == 0 && moved == static_cast<int>(frame.size());
}

bool LibusbCh375::CH375SetDeviceNotify(std::int32_t, const char*, NotifyRoutine routine) {
  monitor_.reset();
  if (!routine) return true;
  monitor_ = Monitor::Start(std::move(routine), source_);
  return monitor_ != nullptr;
}

bool LibusbCh375::CH375SetIntRoutine(std::int32_t, void*) { return true; }

void LibusbCh375::SetCH372(QByteArray& reply, QByteArray&) {
  reply.clear();
  std::lock_guard lock(deviceMutex_);
  if (!device_) return;
  std::vector<unsigned char> buffer(static_cast<std::size_t>(device_->ReadSize()));
  auto readChunk = [&](std::chrono::milliseconds wait) {
    int moved = 0;
    const int rc =
        device_->Transfer(kBulkIn, buffer.data(), static_cast<int>(buffer.size()), wait, &moved);
    if (moved > 0) {
      return ChunkResult{ChunkResult::Data,
                         QByteArray(reinterpret_cast<const char*>(buffer.data()), moved)};
    }
    return ChunkResult{rc == LIBUSB_ERROR_TIMEOUT ? ChunkResult::Quiet : ChunkResult::Gone, {}};
  };
  reply = ReadUntilQuiet(
      readChunk, {std::chrono::milliseconds(readTimeoutMs_.load()), kReplyQuiet, kReplyLimit});
}

Ch375Library& SystemCh375Library() {
  static LibusbCh375 library;
  return library;
}

}  // namespace zrt::link
