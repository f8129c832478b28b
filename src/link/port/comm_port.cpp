#include "link/port/comm_port.h"

#include "link/port/comm_events.h"
#include "link/port/ecomms_error.h"

namespace zrt::link {
namespace {

constexpr std::size_t kQueueSize = 4096;

}  // namespace

std::unique_ptr<CommPort> CommPort::Open(SerialPlatform& platform, const CommProperties& properties,
                                         NotificationSink& sink,
                                         std::chrono::microseconds minimumGap) {
  SerialPlatform::OpenResult opened = platform.Open(properties.commName);
  switch (opened.failure) {
    case SerialPlatform::OpenFailure::CannotOpen:
      throw ECommsError("Error opening serial port", opened.error);
    case SerialPlatform::OpenFailure::NotCommDevice:
      throw ECommsError("File handle is not a comm handle ", opened.error);
    case SerialPlatform::OpenFailure::None:
      break;
  }
  if (SysError error = opened.device->SetupQueues(kQueueSize, kQueueSize)) {
    throw ECommsError("Cannot setup comm buffer", error.reason);  // the port closes with `opened`
  }

  auto port = std::make_unique<CommPort>(Key{});
  port->device_ = std::move(opened.device);
  port->device_->Purge(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
  port->device_->ApplyTimeouts(properties.timeouts);
  // A setting the device refuses leaves the port as it is, and open.
  port->openSettingsError_ = port->device_->ApplyState(BuildCommState(properties));

  SysError error;
  port->stop_ = platform.CreateStopEvent(error);
  if (!port->stop_) throw ECommsError("Unable to create event", error.reason);
  port->hangup_ = std::make_unique<HangupLatch>();
  const PortContext context{*port->device_, *port->stop_, sink, *port->hangup_};

  // A thread that could not start is released like a running one: the
  // port's destructor stops whatever runs and lets go of everything.
  try {
    port->reader_ = std::make_unique<TReadThread>(context);
    port->reader_->Start(platform);
  } catch (const std::exception& e) {
    throw ECommsError("Unable to create read thread", e.what());
  }
  try {
    port->writer_ = std::make_unique<TWriteThread>(context);
    port->writer_->SetMinimumGap(minimumGap);
    port->writer_->Start(platform);
  } catch (const std::exception& e) {
    throw ECommsError("Unable to create write thread", e.what());
  }
  return port;
}

CommPort::~CommPort() {
  StopReader();
  StopWriter();
}

SysError CommPort::ApplyState(const CommProperties& properties) {
  return device_->ApplyState(BuildCommState(properties));
}

void CommPort::StopReader() {
  if (!reader_) return;
  stop_->Set();
  device_->Purge(PURGE_RXABORT | PURGE_RXCLEAR);
  reader_.reset();  // waits for the thread, which the stop event has woken
}

void CommPort::StopWriter() {
  if (!writer_) return;
  stop_->Set();
  writer_->WakeForStop();
  device_->Purge(PURGE_TXABORT | PURGE_TXCLEAR);
  writer_.reset();
}

}  // namespace zrt::link
