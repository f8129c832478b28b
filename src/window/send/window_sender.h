// The window's lines (the operator's Send and a sequence run's) on their
// way through the session, as the window shows them: a line that cannot go
// is refused with the reason said (a character without a byte, a rate or
// an address that is no number), a long serial line from the operator
// goes only once they agree, the reply box shows the echo and the reply,
// and a frame that did not go out is told of; the hold after a sweep
// trigger then follows the operator's answer.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "session/line_session.h"

class QLineEdit;

namespace zrt::window {

class Announcer;
class MessageQueue;
class ReplyBox;

class WindowSender : public QObject {
  Q_OBJECT

 public:
  // Items of the interface group.
  static constexpr int kRs232 = 0;
  static constexpr int kUsb = 1;
  // A serial line longer than this is sent only once the operator agrees.
  static constexpr qsizetype kLongLineChars = 4096;

  // What a line is sent with, as the window's boxes give it.
  struct Settings {
    int link;  // an item of the interface group, or none
    QString rate;
    QString address;
  };
  // Who sends the line: the session keeps their replies apart.
  enum Source { kOperator = 0, kSequence = 1 };

  struct Parts {
    session::LineSession& session;
    Announcer& say;
    MessageQueue& messages;
    ReplyBox& replies;
    std::function<QString()> portName;  // the serial port's, for the log
    const QLineEdit& address;           // read on USB once the line is through
    // Where another source's lines come from ("tcp 127.0.0.1:53122"), for
    // the log.
    std::function<QString(int source)> origin = {};
  };
  WindowSender(Parts parts, QObject* parent = nullptr);

  // True when the line began to go out (or waits for the operator's yes).
  bool Send(const QString& text, const Settings& settings, Source source);

  // The link's name in the log for a frame of `source`'s: the port, or
  // USB, with the origin of another program's line.
  QString LinkName(session::Interface link, int source) const;
  static bool Ours(int source) { return source == kOperator || source == kSequence; }

 signals:
  // The operator's line goes out: it belongs in the history.
  void Remembered(const QString& text);
  // A line of the window's was handed to the session (false), or another
  // may go (true): the one before is through, with any hold after it.
  void ReadyChanged(bool ready);
  // A serial frame is through and said so, before FrameDone.
  void SerialThrough();
  // The line's frame is through (false: not all of it went out) and, on
  // USB, its reply fetched.
  void FrameDone(bool sent);
  // A sequence's line refused when its turn came, after it was told of: beyond a
  // limit (`breach`), or its rate refused (none).
  void LineRefused(const std::optional<guard::LimitBreach>& breach);
  // The reply fetched after a USB line.
  void UsbReply(const QByteArray& reply);

 private:
  session::Frame Prepare(Source source, const QString& text, const Settings& settings);
  void Submit(const session::Frame& frame);
  void Logged(const session::Frame& frame);
  void SerialDone(const session::Frame& frame, bool sent, qsizetype handedOver);
  void UsbDone(const session::Frame& frame, bool written, const QByteArray& reply);
  void Answered(const session::Frame& frame);
  void NotStarted(const session::Frame& frame, const session::Refusal& why);
  void BackToFree();

  // Where the window's line stands between Send and Send coming back. The
  // session releases a frame (SourceReady) once it and any hold after it
  // are through; a frame that did not go out whole is told of first, and
  // the hold after it follows the operator's answer (HoldAfter), after
  // which the session releases it again.
  enum class Turn {
    Free,       // Send is there
    InSession,  // queued, on the wire, refused, or under the hold after it
    Telling,    // did not go out whole: the operator is being told
  };
  Parts parts_;
  Turn turn_ = Turn::Free;
};

}  // namespace zrt::window
