#include "link/tcomm.h"

#include <QMetaMethod>
#include <deque>
#include <mutex>
#include <optional>

namespace zrt::link {
namespace {

constexpr std::size_t kQueueSize = 4096;

}  // namespace

// Notifications wait in a queue of our own; each post also queues a call of
// DeliverNotifications on the owner's thread. Delivery takes them one at a
// time from the front, so they keep posting order even when a handler runs a
// nested event loop, and a call that finds the queue empty does nothing.
class TComm::Notifier : public NotificationSink {
 public:
  explicit Notifier(TComm* owner) : owner_(owner) {}

  bool Post(Notification notification) override {
    {
      std::lock_guard lock(mutex_);
      queue_.push_back(std::move(notification));
    }
    static const QMetaMethod deliver = TComm::staticMetaObject.method(
        TComm::staticMetaObject.indexOfMethod("DeliverNotifications()"));
    // Should the call fail, the notification stays queued and goes out with
    // the next delivery.
    return deliver.invoke(owner_, Qt::QueuedConnection);
  }

  std::optional<Notification> Take() {
    std::lock_guard lock(mutex_);
    if (queue_.empty()) return std::nullopt;
    Notification next = std::move(queue_.front());
    queue_.pop_front();
    return next;
  }

 private:
  TComm* owner_;
  std::mutex mutex_;
  std::deque<Notification> queue_;
};

TComm::TComm(QObject* parent, SerialPlatform& platform)
    : QObject(parent), platform_(platform), notifier_(std::make_unique<Notifier>(this)) {}

TComm::~TComm() { ClosePort(); }

void TComm::OpenPort() {
  if (device_) throw ECommsError("This serial port already opened");
  queuedBlocks_ = 0;

  SerialPlatform::OpenResult opened = platform_.Open(properties_.commName);
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

  device_ = std::move(opened.device);
  device_->Purge(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
  ApplyCommTimeouts();
  ApplyCommState();

  SysError error;
  stop_ = platform_.CreateStopEvent(error);
  if (!stop_) {
    device_.reset();
    throw ECommsError("Unable to create event", error.reason);
  }
  hangup_ = std::make_unique<HangupLatch>();
  const PortContext context{*device_, *stop_, *notifier_, *hangup_};

  // A thread that could not start is released like a running one: closing
  // stops whatever runs and lets go of everything this opening holds.
  try {
    reader_ = std::make_unique<TReadThread>(context);
    reader_->Start(platform_);
  } catch (const std::exception& e) {
    ClosePort();
    throw ECommsError("Unable to create read thread", e.what());
  }
  try {
    writer_ = std::make_unique<TWriteThread>(context);
    writer_->SetMinimumGap(minimumGap_);
    writer_->Start(platform_);
  } catch (const std::exception& e) {
    ClosePort();
    throw ECommsError("Unable to create write thread", e.what());
  }
}

void TComm::ClosePort() {
  settingsError_ = {};
  if (!device_) return;
  StopReader();
  StopWriter();
  hangup_.reset();
  stop_.reset();
  device_.reset();
}

void TComm::StopReader() {
  if (!reader_) return;
  stop_->Set();
  device_->Purge(PURGE_RXABORT | PURGE_RXCLEAR);
  reader_.reset();  // waits for the thread, which the stop event has woken
}

void TComm::StopWriter() {
  if (!writer_) return;
  stop_->Set();
  writer_->WakeForStop();
  device_->Purge(PURGE_TXABORT | PURGE_TXCLEAR);
  writer_.reset();
}

bool TComm::SendData(const void* buffer, std::uint16_t length) {
  if (!writer_ || length == 0) return false;
  if (!writer_->Post(QByteArray(static_cast<const char*>(buffer), length))) return false;
  ++queuedBlocks_;
  return true;
}

void TComm::SetMinimumGap(std::chrono::microseconds gap) {
  minimumGap_ = gap;
  if (writer_) writer_->SetMinimumGap(gap);
}

void TComm::SetTimeout(std::uint32_t CommTimeouts::*field, std::uint32_t value) {
  if (properties_.timeouts.*field == value) return;
  properties_.timeouts.*field = value;
  if (device_) ApplyCommTimeouts();
}

void TComm::ApplyCommState() {
  // A setting the device refuses leaves the port as it is; the port stays
  // open, and the refusal is kept for whoever relies on the setting.
  settingsError_ = device_->ApplyState(BuildCommState(properties_));
}

void TComm::ApplyCommTimeouts() { device_->ApplyTimeouts(properties_.timeouts); }

void TComm::DeliverNotifications() {
  while (std::optional<Notification> n = notifier_->Take()) {
    switch (n->kind) {
      case UM_RECEIVE_DATA:
        emit OnReceiveData(n->block);
        break;
      case UM_RECEIVE_ERROR:
        emit OnReceiveError(n->value);
        break;
      case UM_REQUEST_HANGUP:
        emit OnRequestHangup();
        break;
      case UM_MODEM_STATE_CHANGE:
        emit OnModemStateChange(n->value);
        break;
      case UM_SEND_DATA_EMPTY:
        emit OnSendDataEmpty();
        // An empty queue said before the last blocks were queued is old news.
        if (n->value == queuedBlocks_) emit OnOutputSent();
        break;
      case UM_OUTPUT_HELD:
        emit OnOutputHeld(n->value != 0);
        break;
    }
  }
}

}  // namespace zrt::link
