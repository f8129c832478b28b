#include "cli/line_links.h"

#include "cli/send_options.h"
#include "protocol/send_steps.h"

namespace zrt::cli {

using namespace protocol;

AddressedLink::AddressedLink(const QString& address)
    : addressText_(ToLine(address)), addressByte_(AddressByte(StrToInt(address))) {
  hold_.setSingleShot(true);
  hold_.setTimerType(Qt::PreciseTimer);
  hold_.setInterval(kSweepTriggerHoldMs);
  connect(&hold_, &QTimer::timeout, this, &AddressedLink::BecameReady);
}

void AddressedLink::FrameDone(bool sent, const QByteArray& line) {
  emit FrameSent(sent);
  // The instrument needs a while after the sweep trigger before the next line.
  if (sent && IsSweepTrigger(line, addressByte_)) {
    hold_.start();
  } else {
    emit BecameReady();
  }
}

SerialLineLink::SerialLineLink(link::SerialPlatform& platform, const QString& address)
    : AddressedLink(address),
      comm_(this, platform),
      sender_(std::chrono::milliseconds(kSerialByteIntervalMs)) {
  // As the window keeps its port: the writer keeps a frame's bytes apart.
  comm_.SetMinimumGap(std::chrono::milliseconds(kSerialByteIntervalMs));
  connect(&comm_, &link::TComm::OnOutputSent, &sender_, &PacedSender::ByteLeft);
  connect(&comm_, &link::TComm::OnReceiveData, this, &SerialLineLink::Received);
  connect(&comm_, &link::TComm::OnRequestHangup, this, [this] {
    for (const link::PortNote& note : comm_.TakeNotes()) {
      lostReason_ = QString::fromStdString(link::SayPortNote(note));
      closedBeforeFirstLine_ = note.why == link::PortReason::ServerClosed && !lineSent_;
      if (closedBeforeFirstLine_) {
        lostReason_ = QString::fromStdString(
            link::SayPortNote({link::PortReason::ServerClosedAtOnce, note.args}));
      }
    }
    holdLimit_.stop();
    sender_.Cancel();
    comm_.ClosePort();
    emit Lost();
  });
  // A hold is bounded: an instrument that never lets go ends the run.
  holdLimit_.setSingleShot(true);
  holdLimit_.setInterval(kDefaultHoldLimit);
  connect(&comm_, &link::TComm::OnOutputHeld, this, [this](bool held) {
    if (!held) return holdLimit_.stop();
    if (sender_.Busy()) holdLimit_.start();
  });
  connect(&holdLimit_, &QTimer::timeout, this, [this] {
    sender_.Cancel();
    comm_.ClosePort();
    emit HeldTooLong();
  });
  connect(&sender_, &PacedSender::Finished, this, [this](bool everyByte) {
    holdLimit_.stop();
    lineSent_ = lineSent_ || everyByte;
    FrameDone(everyByte, line_);
  });
}

void SerialLineLink::Open(const std::string& port, const QString& baudRate) {
  comm_.SetCommName(port);
  comm_.SetBaudRate(BaudRateOf(baudRate));
  comm_.OpenPort();
  if (const link::SysError refused = comm_.SettingsError()) {
    comm_.ClosePort();
    throw link::ECommsError("Error opening serial port", refused);
  }
}

bool SerialLineLink::Ready() const { return !sender_.Busy() && !Holding(); }

void SerialLineLink::Send(const QString& text) {
  const QByteArray typed = ToLine(text);
  line_ = SubstituteAddress(typed, addressText_, addressByte_);
  frame_ = FrameOf(line_);
  if (!sender_.Start(frame_, [this](char byte) { return comm_.SendData(&byte, 1); })) {
    emit FrameSent(false);
  }
}

UsbLineLink::UsbLineLink(link::Ch375Library& library, const QString& address)
    : AddressedLink(address), usb_(library) {
  connect(&usb_, &link::UsbLink::Transferred, this,
          [this](bool written, const QByteArray& reply, const QByteArray& line) {
            if (!reply.isEmpty()) emit Received(reply);
            FrameDone(written, line);
          });
  connect(&usb_, &link::UsbLink::DeviceChanged, this, [this] {
    if (usb_.DeviceHandle() == link::kInvalidDeviceHandle) emit Lost();
  });
}

bool UsbLineLink::Open() {
  usb_.Start();
  return usb_.DeviceHandle() != link::kInvalidDeviceHandle;
}

bool UsbLineLink::Ready() const { return !usb_.Busy() && !Holding(); }

void UsbLineLink::Send(const QString& text) {
  // On USB the line goes as typed: no address byte.
  const QByteArray line = ToLine(text);
  frame_ = FrameOf(line);
  usb_.Transfer(frame_, line);
}

}  // namespace zrt::cli
