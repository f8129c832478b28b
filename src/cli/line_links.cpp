#include "cli/line_links.h"

#include "cli/send_options.h"
#include "protocol/send_steps.h"

namespace zrt::cli {

AddressedLink::AddressedLink(session::Interface link, const QString& address) {
  protocol::StrToInt(address);  // refused here, before anything opens
  settings_.link = link;
  settings_.address = address;
}

AddressedLink::~AddressedLink() = default;

void AddressedLink::Attach(link::TComm* serial, link::UsbLink* usb) {
  session_ = std::make_unique<session::LineSession>(serial, usb);
  session_->SetHoldLimit(kDefaultHoldLimit);
  link_ = std::make_unique<session::SessionLink>(*session_, 0, [this] { return settings_; });
  connect(session_.get(), &session::LineSession::HeldTooLong, this, &AddressedLink::HeldTooLong);
}

SerialLineLink::SerialLineLink(link::SerialPlatform& platform, const QString& address)
    : AddressedLink(session::Interface::Serial, address), comm_(this, platform) {
  Attach(&comm_, nullptr);
  connect(&Session(), &session::LineSession::FrameDone, this,
          [this](const session::Frame&, bool sent, qsizetype) { lineSent_ = lineSent_ || sent; });
  connect(&comm_, &link::TComm::OnRequestHangup, this, [this] {
    for (const link::PortNote& note : comm_.TakeNotes()) {
      lostReason_ = QString::fromStdString(link::SayPortNote(note));
      closedBeforeFirstLine_ = note.why == link::PortReason::ServerClosed && !lineSent_;
      if (closedBeforeFirstLine_) {
        lostReason_ = QString::fromStdString(
            link::SayPortNote({link::PortReason::ServerClosedAtOnce, note.args}));
      }
    }
    Session().Abandon();
    comm_.ClosePort();
    LinkLost();
  });
  connect(this, &AddressedLink::HeldTooLong, &comm_, &link::TComm::ClosePort);
}

void SerialLineLink::Open(const std::string& port, const QString& baudRate) {
  settings_.rate = baudRate;
  comm_.SetCommName(port);
  comm_.SetBaudRate(protocol::BaudRateOf(baudRate));
  comm_.OpenPort();
  if (const link::SysError refused = comm_.SettingsError()) {
    comm_.ClosePort();
    throw link::ECommsError("Error opening serial port", refused);
  }
}

UsbLineLink::UsbLineLink(link::Ch375Library& library, const QString& address)
    : AddressedLink(session::Interface::Usb, address), usb_(library) {
  Attach(nullptr, &usb_);
  connect(&usb_, &link::UsbLink::DeviceChanged, this, [this] {
    if (usb_.DeviceHandle() == link::kInvalidDeviceHandle) LinkLost();
  });
}

bool UsbLineLink::Open() {
  usb_.Start();
  return usb_.DeviceHandle() != link::kInvalidDeviceHandle;
}

}  // namespace zrt::cli
