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
  queuedBlocks_ = 0;
  port_ = CommPort::Open(platform_, properties_, *notifications_, minimumGap_);
  settingsError_ = port_->OpenSettingsError();
}

void TComm::ClosePort() {
  settingsError_ = {};
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
