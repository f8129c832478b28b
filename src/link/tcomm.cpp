#include "link/tcomm.h"

#include <QMetaMethod>
#include <optional>

namespace zrt::link {

// Notifications wait in a queue of their own; each post also queues a call
// of DeliverNotifications on the owner's thread. Delivery takes them one at
// a time from the front, so they keep posting order even when a handler runs
// a nested event loop, and a call that finds the queue empty does nothing.
TComm::TComm(QObject* parent, SerialPlatform& platform)
    : QObject(parent),
      platform_(platform),
      notifications_(std::make_unique<NotificationQueue<QByteArray>>([this] {
        static const QMetaMethod deliver = TComm::staticMetaObject.method(
            TComm::staticMetaObject.indexOfMethod("DeliverNotifications()"));
        return deliver.invoke(this, Qt::QueuedConnection);
      })) {}

TComm::~TComm() { ClosePort(); }

void TComm::OpenPort() {
  if (port_) throw ECommsError("This serial port already opened");
  if (opening_) openAbandoned_ = true;  // the operator's own open wins
  queuedBlocks_ = 0;
  port_ = CommPort::Open(platform_, properties_, *notifications_, minimumGap_);
  settingsError_ = port_->OpenSettingsError();
}

void TComm::OpenPortInBackground() {
  if (port_ || opening_) return;
  opening_ = true;
  openAbandoned_ = false;
  openError_.reset();
  struct Result {
    std::unique_ptr<CommPort> port;
    std::optional<ECommsError> error;
  };
  auto result = std::make_shared<Result>();
  opener_ = std::jthread([this, result, properties = properties_, gap = minimumGap_] {
    try {
      result->port = CommPort::Open(platform_, properties, *notifications_, gap);
    } catch (const ECommsError& error) {
      result->error = error;
    }
    // Delivered with this object or dropped with it: it joins this thread first.
    QMetaObject::invokeMethod(
        this,
        [this, result] {
          opening_ = false;
          if (openAbandoned_ || port_) {
            result->port.reset();  // the owner gave it up, or opened another meanwhile
            if (!port_) {
              while (notifications_->Take()) {  // what the given-up port said is no one's
              }
            }
          } else {
            port_ = std::move(result->port);
            openError_ = result->error;
            queuedBlocks_ = 0;
            if (port_) settingsError_ = port_->OpenSettingsError();
            emit OnOpenFinished();
          }
          DeliverNotifications();
        },
        Qt::QueuedConnection);
  });
}

void TComm::ClosePort() {
  settingsError_ = {};
  if (opening_) openAbandoned_ = true;
  port_.reset();
}

bool TComm::SendData(const void* buffer, std::uint16_t length) {
  if (!port_ || length == 0) return false;
  if (!port_->Post(ByteBlock(static_cast<const char*>(buffer), length))) return false;
  ++queuedBlocks_;
  return true;
}

void TComm::SetMinimumGap(std::chrono::microseconds gap) {
  minimumGap_ = gap;
  if (port_) port_->SetMinimumGap(gap);
}

void TComm::SetTimeout(std::uint32_t CommTimeouts::*field, std::uint32_t value) {
  if (properties_.timeouts.*field == value) return;
  properties_.timeouts.*field = value;
  if (port_) port_->ApplyTimeouts(properties_.timeouts);
}

void TComm::ApplyCommState() {
  // A setting the device refuses leaves the port as it is; the port stays
  // open, and the refusal is kept for whoever relies on the setting.
  settingsError_ = port_->ApplyState(properties_);
}

void TComm::DeliverNotifications() {
  // A port opening in the background may already have news (a hang-up):
  // it waits until the port is the component's.
  if (opening_) return;
  while (auto item = notifications_->Take()) {
    const Notification* n = &item->notification;
    switch (n->kind) {
      case UM_RECEIVE_DATA:
        emit OnReceiveData(item->block);
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
