// The one way a line reaches the instrument, whoever sends it: the
// window's Send, a sequence run, zrt-send, and other programs. It owns no
// port: it sends through the serial component and the USB link it is
// given, as the panel's Send does.
//  - Serial: the address byte in place of the address at the line's start
//    (only there), a line feed, the bytes handed over one at a time, each
//    once the one before has left (10 ms apart on the wire), held where
//    they stand while the instrument sends XOFF.
//  - USB: the line as typed and a line feed in one write, the reply
//    fetched after it.
//  - Both: nothing more for 3 s after the amplitude sweep's single trigger.
// Lines from several sources queue in the order they came, and one frame
// is on the wire at a time. What the instrument sends goes to the source
// of the frame last sent; a line from another source waits until that
// frame's reply has come (or kReplyWait has passed without one), so that
// no source is given another's reply.
//
// It also keeps what the lines that went out and their replies tell of the
// instrument's settings, whoever sent them, and refuses a line that would
// set a value beyond the limits it is given.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <deque>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

#include "link/port/serial_device.h"
#include "protocol/paced_sender.h"
#include "settings/limits.h"

namespace zrt::link {
class TComm;
class UsbLink;
}  // namespace zrt::link

namespace zrt::session {

enum class Interface { Serial, Usb };

// What a line is sent with, as the window's boxes give it.
struct LineSettings {
  Interface link = Interface::Serial;
  QString rate = "19200";
  QString address = "88";
};

// A line made ready to go out, and whose it is.
struct Frame {
  int source = 0;
  QString text;     // as given
  QByteArray line;  // 8-bit; on serial with the address byte in place
  Interface link = Interface::Serial;
  char addressByte = 0;    // the instrument's, for the sweep rule
  bool addressed = false;  // on serial: the line began with the address
  // The bytes on the wire: the line and a line feed.
  QByteArray Bytes() const { return line + '\n'; }
};

// A serial rate the port cannot run at: 0 or less, or one it refuses
// (`refused` then holds the system's reason).
class BadRate : public std::runtime_error {
 public:
  BadRate(QString rate, link::SysError refused)
      : std::runtime_error(("'" + rate + "' is not a valid baud rate").toStdString()),
        rate(std::move(rate)),
        refused(std::move(refused)) {}
  QString rate;
  link::SysError refused;  // none: not a rate at all
};

// A line that would set a value beyond a limit.
class BeyondLimit : public std::runtime_error {
 public:
  explicit BeyondLimit(settings::LimitBreach breach)
      : std::runtime_error(settings::Describe(breach)), breach(std::move(breach)) {}
  settings::LimitBreach breach;
};

class LineSession : public QObject {
  Q_OBJECT

 public:
  static constexpr std::chrono::milliseconds kReplyWait{2000};
  // How long a reply may pause and still be one, before another source's
  // line may go.
  static constexpr std::chrono::milliseconds kReplyQuiet{150};

  // Either link may be missing (nullptr) where a program has only one.
  LineSession(link::TComm* serial, link::UsbLink* usb, QObject* parent = nullptr);

  // The line as it goes out with these settings; on serial the port is
  // set to the rate first, as Send always has. Throws BeyondLimit for a
  // line beyond the limits, protocol::EConvertError for a rate or an
  // address that is no integer, BadRate for a rate the port cannot run at. The caller refuses a
  // line with a character that has no byte (protocol::FirstWithoutByte) first.
  Frame Prepare(int source, const QString& text, const LineSettings& settings);
  // Sends the frame once those before it (and their replies) are through.
  void Submit(Frame frame);

  // Nothing going out, nothing waiting and no hold after a frame.
  bool Idle() const;
  // Nothing of this source's going out or waiting.
  bool SourceIdle(int source) const;
  // A serial frame going out: its bytes handed over so far and in all.
  bool Sending() const { return sender_.Busy(); }
  qsizetype HandedOver() const { return sender_.HandedOver(); }
  qsizetype FrameSize() const { return sender_.FrameSize(); }
  // Ends the serial frame going out where it stands (its port is gone):
  // FrameDone follows with what went out.
  void CutFrame();
  // The frame going out, or whose hold after it runs.
  const std::optional<Frame>& Current() const { return current_; }
  // What is left of the hold after a sweep trigger (zero: none).
  std::chrono::milliseconds HoldLeft() const;
  // The hold after `frame` if it is a sweep trigger, now: for a frame that
  // did not go out whole, whose hold an owner starts when it has said so
  // (SourceReady and Ready follow, at once when there is no hold).
  void HoldAfter(const Frame& frame);
  // Drops the frame going out and those waiting: their link is gone.
  // Abandoned says whose they were; FrameDone does not follow.
  void Abandon();
  // The source of the frame last sent, whom what the instrument sends is
  // for (-1: none yet).
  int Answering() const { return answering_; }
  // How long the instrument may hold a frame back with XOFF before it is
  // given up (HeldTooLong); zero: as long as it likes.
  void SetHoldLimit(std::chrono::milliseconds limit) { holdLimit_ = limit; }

  // What the lines sent and their replies tell of the instrument's
  // settings; KnownChanged says when it changes.
  const settings::InstrumentSettings& Known() const { return known_; }
  // Lines that would go beyond these are refused from now on.
  void SetLimits(const settings::Limits& limits) { limits_ = limits; }
  const settings::Limits& Limits() const { return limits_; }

 signals:
  // The frame's first byte has left (serial), or it was written (USB).
  void FrameOnWire(const Frame& frame);
  // The frame is through: every byte handed over, or `handedOver` of them.
  void FrameDone(const Frame& frame, bool sent, qsizetype handedOver);
  // On USB, the reply fetched after the write (empty when none came).
  void UsbReplied(const Frame& frame, bool written, const QByteArray& reply);
  // Bytes from the instrument, for the source of the frame last sent.
  void Received(int source, const QByteArray& block);
  // What the instrument sent after that frame has ended (`replied`: some
  // came): kReplyQuiet after its last block, kReplyWait after the frame
  // when none came, when the next frame begins, or with a USB reply.
  void ReplyEnded(int source, bool replied);
  // The instrument holds output back (XOFF), or lets it go.
  void OutputHeld(bool held);
  // The hold lasted longer than the limit: the frame was given up, and
  // those waiting with it (Abandoned says whose).
  void HeldTooLong(const Frame& frame);
  // Abandon dropped a frame of this source's: the one going out or under
  // its hold (`current`), or one waiting its turn.
  void Abandoned(int source, bool current);
  // The source's frame is through, with any hold after it.
  void SourceReady(int source);
  // Idle again: a line may go at once.
  void Ready();
  // A line sent, with its reply, told something of the settings.
  void KnownChanged();

 private:
  void StartNext();
  // The frame is through: FrameDone, then the sweep hold or the next.
  void Through(bool sent, qsizetype handedOver);
  void Finish();
  // The next frame when its turn has come.
  void Proceed();
  void Block(const QByteArray& block);
  // Drops every frame, with the timers: whose they were, and which was
  // the one going out.
  std::vector<std::pair<int, bool>> DropAll();
  void EndReply();
  void UsbTransferred(bool written, const QByteArray& reply);
  void Held(bool held);
  // The line whose reply has ended, and that reply, into Known().
  void Learn(const QString& text, const QByteArray& reply);

  link::TComm* serial_;
  link::UsbLink* usb_;
  protocol::PacedSender sender_;
  std::deque<Frame> waiting_;
  std::optional<Frame> current_;  // on the wire, or its hold after it
  int answering_ = -1;            // the source of the frame last sent
  bool replyCame_ = false;        // since that frame went out
  bool replyEnded_ = true;        // and no more of it is waited for
  bool reporting_ = false;        // FrameDone is being emitted
  bool holdAsked_ = false;        // HoldAfter was asked meanwhile
  qsizetype handedOver_ = 0;
  QTimer sweepHold_;
  QTimer replyWait_;  // until the last frame's reply has ended
  QTimer holdLimitTimer_;
  std::chrono::milliseconds holdLimit_{0};
  settings::InstrumentSettings known_;
  settings::Limits limits_;
  QString learning_;     // the serial line whose reply is being gathered
  QByteArray gathered_;  // that reply, as much as a value needs
};

}  // namespace zrt::session
