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
//
// A frame's life:
//  1. queued (Submit): in the order lines came, the operator's (SubmitFirst)
//     ahead of other sources' waiting lines;
//  2. its turn: nothing on the wire, and the reply to the frame before has
//     ended (at a line feed that ends a block, else kReplyQuiet after its
//     last block, kReplyWait when none came) or, for the operator's line
//     after the operator's own, is ended by it,
//     whoever's it was, so that no source is given another's reply and a
//     source's own pipelined lines each get their own;
//  3. judged by the guard, now, with the replies to every frame before it
//     counted; the values its judgement needs and nobody confirmed are read
//     back first (queries of the session's own, kLimitsSource), then it is
//     judged again, and refused if the instrument did not tell them; a line
//     refused goes no further (NotStarted);
//  4. started: on serial the port is set to its rate, then its bytes go
//     out (FrameOnWire with the first);
//  5. through (FrameDone): every byte out, or where it was cut; what it
//     sets shows as set from here, not yet acknowledged, and the guard
//     holds its item unknown from its start until its reply;
//  6. answered: what the instrument sends is its source's (Received), until
//     the reply has ended (ReplyEnded), which also tells the known settings
//     and the guard;
//  7. released: after any hold after a sweep trigger, SourceReady once the
//     source has nothing else going out or waiting.
// Abandon drops every frame at any point (Abandoned); a hold too long under
// XOFF gives up the frame on the wire and those waiting (HeldTooLong).
// Lines that fail one after another (a closed port, refusals) are taken in
// a loop, never one call deeper per line.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

#include "guard/guard.h"
#include "link/port/serial_device.h"
#include "protocol/paced_sender.h"
#include "settings/instrument_settings.h"

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
  std::uint32_t rate = 0;  // on serial: the port's rate for it
  // The bytes on the wire: the line and a line feed.
  QByteArray Bytes() const { return line + '\n'; }
  // What addresses the line as it goes out: on serial the address byte,
  // if it began with the address; on USB the digits it begins with.
  QByteArray Address() const;
};

// Why a frame did not start: the guard's breach (a limit it would go
// beyond, or could not be checked against), or a rate its port refused.
struct Refusal {
  std::optional<guard::LimitBreach> breach;
  link::SysError rateRefused;  // when there is no breach
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

class LineSession : public QObject {
  Q_OBJECT

 public:
  static constexpr std::chrono::milliseconds kReplyWait{2000};
  // How long a reply may pause and still be one, before another source's
  // line may go.
  static constexpr std::chrono::milliseconds kReplyQuiet{150};
  // The source of the queries the guard's judgement makes.
  static constexpr int kLimitsSource = -2;

  // Either link may be missing (nullptr) where a program has only one.
  LineSession(link::TComm* serial, link::UsbLink* usb, QObject* parent = nullptr);

  // The line as it goes out with these settings. Throws
  // protocol::EConvertError for a rate or an address that is no integer,
  // BadRate for a rate of 0 or less. The caller refuses a line with a
  // character that has no byte (protocol::FirstWithoutByte) first. The
  // limits and the port's own word on the rate come when the frame starts.
  Frame Prepare(int source, const QString& text, const LineSettings& settings);
  // Sends the frame once those before it (and their replies) are through.
  void Submit(Frame frame);
  // The same, ahead of other sources' waiting frames: the operator's.
  void SubmitFirst(Frame frame);
  // Ahead of every waiting frame, the operator's too, after those sent
  // ahead before it: what makes the instrument safe (outputs off). The
  // frame on the wire and its reply end first.
  void SubmitAhead(Frame frame);
  // Frames waiting, not yet on the wire.
  std::size_t Waiting() const { return waiting_.size(); }
  // Sets a serial port's rate for an empty line, as Send always has: now,
  // when nothing goes out; never in the middle of another's frame.
  void SetRateWhenIdle(const LineSettings& settings);

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
  // The hold after `frame` if it is a sweep trigger: for a frame that did
  // not go out whole, whose hold an owner starts when it has said so. It
  // comes next, after any frame on the wire; SourceReady follows it (at
  // once when there is no hold and nothing on the wire).
  void HoldAfter(const Frame& frame);
  // Drops the frame going out and those waiting: their link is gone.
  // Abandoned says whose they were; FrameDone does not follow.
  void Abandon();
  // Drops the frames waiting, not the one going out (which ends whole):
  // nothing more is to go. Abandoned says whose they were.
  void DropWaiting();
  // Refuses every waiting frame, of any source, that would switch an
  // output on: all outputs have just been switched off. Returns how many.
  int RefuseWaitingOutputsOn();
  // The source of the frame last sent, whom what the instrument sends is
  // for (-1: none yet).
  int Answering() const { return answering_; }
  // How long the instrument may hold a frame back with XOFF before it is
  // given up (HeldTooLong); zero: as long as it likes.
  void SetHoldLimit(std::chrono::milliseconds limit) { holdLimit_ = limit; }

  // What the lines sent and their replies tell of the instrument's
  // settings; KnownChanged says when it changes.
  const settings::InstrumentSettings& Known() const { return known_; }
  // The link now reaches another port or device, or the same one again:
  // what was known of the instrument is stale until set or read back.
  void LinkChanged();
  // Lines that would go beyond these, or could not be checked against
  // them, are refused from now on.
  void SetLimits(const guard::Limits& limits) { guard_.SetLimits(limits); }
  const guard::Limits& Limits() const { return guard_.CurrentLimits(); }
  // The guard every frame passes, with what the instrument confirmed.
  const guard::Guard& Guard() const { return guard_; }

 signals:
  // The frame did not start: it would go beyond a limit, or its rate was
  // refused. SourceReady follows when its source has nothing else waiting.
  void NotStarted(const Frame& frame, const Refusal& why);
  // The frame's first byte has left (serial), or it was written (USB).
  void FrameOnWire(const Frame& frame);
  // The frame is through: every byte handed over, or `handedOver` of them.
  void FrameDone(const Frame& frame, bool sent, qsizetype handedOver);
  // On USB, the reply fetched after the write (empty when none came).
  void UsbReplied(const Frame& frame, bool written, const QByteArray& reply);
  // Bytes from the instrument, for the source of the frame last sent.
  void Received(int source, const QByteArray& block);
  // What the instrument sent after that frame has ended (`replied`: some
  // came): at its line feed, kReplyQuiet after a last block without one,
  // kReplyWait after the frame when none came, when the next frame begins,
  // or with a USB reply.
  void ReplyEnded(int source, bool replied);
  // The instrument holds output back (XOFF), or lets it go.
  void OutputHeld(bool held);
  // The hold lasted longer than the limit: the frame was given up, and
  // those waiting with it (Abandoned says whose).
  void HeldTooLong(const Frame& frame);
  // Abandon dropped a frame of this source's: the one going out or under
  // its hold (`current`), or one waiting its turn.
  void Abandoned(int source, bool current);
  // The source's frames are through, with any hold after them: nothing of
  // its goes out or waits.
  void SourceReady(int source);
  // Idle again: a line may go at once.
  void Ready();
  // A line sent, with its reply, told something of the settings.
  void KnownChanged();

 private:
  struct Queued {
    Frame frame;
    bool first = false;      // the operator's: ahead of other sources
    bool ahead = false;      // ahead of every source
    bool pressed = false;    // the operator's: goes when pressed after its own
    bool holdOnly = false;   // no bytes: only the hold after a sweep trigger
    bool askedBack = false;  // what the guard needed was read back for it
  };
  void Enqueue(Queued queued);
  // Starts waiting frames while their turn has come, in a loop.
  void StartWaiting();
  void StartFront();
  // Whether the frame may start; what the guard needs is asked for first.
  bool PassesGate(Queued& queued);
  void Refuse(const Frame& frame, const Refusal& why);
  // The frame is through: FrameDone, then the sweep hold or its release.
  void EndFrame(bool sent, qsizetype handedOver);
  void ReleaseFrame();
  // Sets the serial port to `rate`: the port's refusal, if it refuses.
  link::SysError ApplyRate(std::uint32_t rate);
  void BlockReceived(const QByteArray& block);
  // Drops every frame, with the timers: whose they were, and which was
  // the one going out.
  std::vector<std::pair<int, bool>> DropAll();
  void EndReply();
  void UsbTransferred(bool written, const QByteArray& reply);
  void Held(bool held);
  // The line whose reply has ended, and that reply, into Known().
  void RecordReply(const QString& text, const QByteArray& reply);

  link::TComm* serial_;
  link::UsbLink* usb_;
  protocol::PacedSender sender_;
  std::deque<Queued> waiting_;
  std::optional<Frame> current_;  // on the wire, or its hold after it
  int answering_ = -1;            // the source of the frame last sent
  bool replyCame_ = false;        // since that frame went out
  bool replyWhole_ = false;       // and its last block ended a line
  bool replyEnded_ = true;        // and no more of it is waited for
  bool starting_ = false;         // StartWaiting's loop runs
  qsizetype handedOver_ = 0;
  QTimer sweepHold_;
  QTimer replyWait_;  // until the last frame's reply has ended
  QTimer holdLimitTimer_;
  std::chrono::milliseconds holdLimit_{0};
  settings::InstrumentSettings known_;
  guard::Guard guard_;
  QString learning_;     // the serial line whose reply is being gathered
  QByteArray gathered_;  // that reply, as much as a value needs
};

}  // namespace zrt::session
