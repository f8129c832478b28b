// The links zrt-send sends through, without a window: a serial port and
// the USB bridge, each opened here and sent through the same session as
// the window's Send (the same conversion, address byte, frame, byte pacing
// and sweep-trigger hold).
#pragma once

#include <memory>
#include <string>

#include "link/ch375_library.h"
#include "link/tcomm.h"
#include "link/usb_link.h"
#include "session/session_link.h"

namespace zrt::cli {

// What both links share: the session, the settings its lines go with, and
// why the link went away.
class AddressedLink : public QObject {
  Q_OBJECT

 public:
  // `address` as the window's address field takes it; throws
  // protocol::EConvertError when it is not an integer.
  AddressedLink(session::Interface link, const QString& address);
  ~AddressedLink() override;
  // The session's own link for a run's lines: every outcome the session
  // has for them (sent, refused, replied, ready, lost) comes from it.
  sequence::LineLink& Line() { return *link_; }
  // The bytes of the frame last sent.
  const QByteArray& LastFrame() const { return link_->LastFrame(); }
  // Why the link went away, where it said (in English), else empty.
  virtual QString LostReason() const { return {}; }
  // The server closed the connection before any line went out: it never
  // really gave the port (another connection holds it, most likely).
  virtual bool ClosedBeforeFirstLine() const { return false; }
  // The session its lines go through, for other sources to share, and the
  // settings they go with.
  session::LineSession& Session() { return *session_; }
  const session::LineSettings& Settings() const { return settings_; }

 signals:
  // The instrument held output back (XOFF) for longer than the hold limit:
  // the frame was given up.
  void HeldTooLong();

 protected:
  // Sends through these links from now on.
  void Attach(link::TComm* serial, link::UsbLink* usb);
  // The link went away: the run ends.
  void LinkLost() { link_->LinkLost(); }
  session::LineSettings settings_;

 private:
  std::unique_ptr<session::LineSession> session_;
  std::unique_ptr<session::SessionLink> link_;
};

class SerialLineLink : public AddressedLink {
  Q_OBJECT

 public:
  SerialLineLink(link::SerialPlatform& platform, const QString& address);
  // Opens the port at that rate; throws link::ECommsError (with the
  // system's reason) or protocol::EConvertError, as the window reports them.
  void Open(const std::string& port, const QString& baudRate);
  QString LostReason() const override { return lostReason_; }
  bool ClosedBeforeFirstLine() const override { return closedBeforeFirstLine_; }
  // How long a hold may last before HeldTooLong.
  void SetHoldLimit(std::chrono::milliseconds limit) { Session().SetHoldLimit(limit); }
  // Hands each read on at once instead of once the line is quiet: the
  // session finds a reply's end itself, at its line feed, so a client
  // waiting for the reply is not kept the read interval longer.
  void DeliverAtOnce() { comm_.SetReadIntervalTimeout(link::kReadAtOnce); }

 private:
  link::TComm comm_;
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

 private:
  link::UsbLink usb_;
};

}  // namespace zrt::cli
