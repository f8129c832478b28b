// The links zrt-send sends through, without a window: a serial port and
// the USB bridge, each sending a line as the window's Send does (the same
// conversion, address byte, frame, byte pacing and sweep-trigger hold).
#pragma once

#include <QTimer>
#include <string>

#include "link/ch375_library.h"
#include "link/tcomm.h"
#include "link/usb_link.h"
#include "protocol/paced_sender.h"
#include "sequence/runner.h"

namespace zrt::cli {

// What both links share: the address, the frame last sent and the hold
// after a sweep trigger.
class AddressedLink : public sequence::LineLink {
  Q_OBJECT

 public:
  // `address` as the window's address field takes it; throws
  // protocol::EConvertError when it is not an integer.
  explicit AddressedLink(const QString& address);
  // The bytes of the frame last sent.
  const QByteArray& LastFrame() const { return frame_; }
  // Why the link went away, where it said (in English), else empty.
  virtual QString LostReason() const { return {}; }
  // The server closed the connection before any line went out: it never
  // really gave the port (another connection holds it, most likely).
  virtual bool ClosedBeforeFirstLine() const { return false; }

 signals:
  // The instrument held output back (XOFF) for longer than the hold limit:
  // the frame was given up.
  void HeldTooLong();

 protected:
  // The frame is through (or not): the hold, if any, then ready again.
  void FrameDone(bool sent, const QByteArray& line);
  bool Holding() const { return hold_.isActive(); }

  const QByteArray addressText_;
  const char addressByte_;
  QByteArray frame_;

 private:
  QTimer hold_;
};

class SerialLineLink : public AddressedLink {
  Q_OBJECT

 public:
  SerialLineLink(link::SerialPlatform& platform, const QString& address);
  // Opens the port at that rate; throws link::ECommsError (with the
  // system's reason) or protocol::EConvertError, as the window reports them.
  void Open(const std::string& port, const QString& baudRate);
  bool Ready() const override;
  void Send(const QString& line) override;
  QString LostReason() const override { return lostReason_; }
  bool ClosedBeforeFirstLine() const override { return closedBeforeFirstLine_; }
  // How long a hold may last before HeldTooLong.
  void SetHoldLimit(std::chrono::milliseconds limit) { holdLimit_.setInterval(limit); }

 private:
  link::TComm comm_;
  protocol::PacedSender sender_;
  QByteArray line_;
  QTimer holdLimit_;
  bool lineSent_ = false;  // a whole line has gone out since the link opened
  bool closedBeforeFirstLine_ = false;
  QString lostReason_;
};

class UsbLineLink : public AddressedLink {
  Q_OBJECT

 public:
  UsbLineLink(link::Ch375Library& library, const QString& address);
  // Starts watching for the bridge; true once it is opened (at once when
  // it is there).
  bool Open();
  bool Ready() const override;
  void Send(const QString& line) override;

 private:
  link::UsbLink usb_;
};

}  // namespace zrt::cli
