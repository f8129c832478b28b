#include "link/usb_link.h"

#include <QMetaObject>
#include <optional>

namespace zrt::link {

UsbLink::UsbLink(Ch375Library& library, QObject* parent) : QObject(parent), library_(library) {}

UsbLink::~UsbLink() {
  if (!closed_) Close();
}

bool UsbLink::Start() {
  started_ = true;
  const bool monitoring = library_.CH375SetDeviceNotify(
      DeviceIndex, "", [this](std::uint32_t code) { PlugEventRoutine(code); });
  deviceHandle_ = library_.CH375OpenDevice(DeviceIndex);
  // The event finds the device as it asks, and changes nothing: it only
  // keeps the order with the events the library posts meanwhile.
  if (deviceHandle_ == kInvalidDeviceHandle) {
    PlugEventRoutine(kPlugRemoved);
  } else {
    library_.CH375SetTimeout(DeviceIndex, kTimeoutMs, kTimeoutMs);
    PlugEventRoutine(kPlugArrived);
  }
  return monitoring;
}

void UsbLink::Close() {
  closed_ = true;
  // No event may come while the device closes.
  library_.CH375SetDeviceNotify(DeviceIndex, "", {});
  library_.CH375SetIntRoutine(DeviceIndex, nullptr);
  library_.CH375CloseDevice(DeviceIndex);
  if (worker_.joinable()) worker_.join();  // closing ended its transfer
}

void UsbLink::PlugEventRoutine(std::uint32_t code) {
  {
    std::lock_guard lock(mutex_);
    plugEvents_.push_back(code);
  }
  // By name: the queued call is then made inside Qt, which ThreadSanitizer
  // is told about, rather than in an inline template of ours.
  QMetaObject::invokeMethod(this, "DeliverPlugEvents", Qt::QueuedConnection);
}

void UsbLink::DeliverPlugEvents() {
  while (!closed_ && !Busy()) {
    std::optional<std::uint32_t> code;
    {
      std::lock_guard lock(mutex_);
      if (plugEvents_.empty()) return;
      code = plugEvents_.front();
      plugEvents_.pop_front();
    }
    pnpproceKeyUp(static_cast<std::uint16_t>(*code));  // a key carries the low 16 bits
  }
}

void UsbLink::pnpproceKeyUp(std::uint16_t key) {
  if (key == kPlugArrived) {
    if (deviceHandle_ != kInvalidDeviceHandle) return;
    deviceHandle_ = library_.CH375OpenDevice(DeviceIndex);
    if (deviceHandle_ == kInvalidDeviceHandle) {
      emit OpenFailed();
    } else {
      library_.CH375SetTimeout(DeviceIndex, kTimeoutMs, kTimeoutMs);
      emit DeviceChanged();
    }
  } else if (key == kPlugRemoved) {
    if (deviceHandle_ == kInvalidDeviceHandle) return;
    library_.CH375CloseDevice(DeviceIndex);
    deviceHandle_ = kInvalidDeviceHandle;
    emit DeviceChanged();
  }
}

void UsbLink::Transfer(const QByteArray& frame, const QByteArray& line) {
  worker_ = std::jthread([this, frame, line = QByteArray(line)]() mutable {
    auto length = static_cast<std::uint32_t>(frame.size());
    const bool written = library_.CH375WriteData(DeviceIndex, frame.constData(), &length);
    QByteArray reply;
    library_.SetCH372(reply, line);
    {
      std::lock_guard lock(mutex_);
      result_ = {written, std::move(reply), std::move(line)};
    }
    QMetaObject::invokeMethod(this, "TransferDone", Qt::QueuedConnection);
  });
}

void UsbLink::TransferDone() {
  if (!worker_.joinable()) return;  // the close sequence took it
  worker_.join();
  Result result;
  {
    std::lock_guard lock(mutex_);
    result = std::move(result_);
  }
  emit Transferred(result.written, result.reply, result.line);
  DeliverPlugEvents();  // those that waited for the transfer
}

}  // namespace zrt::link
