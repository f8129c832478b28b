// One client's way of talking to the shared instrument, whatever carries
// its bytes (a TCP connection, a VXI-11 link): what it sends comes in as
// lines or messages (Take), goes to the session one frame at a time, and
// what goes back to it leaves through its context's output. The server
// holding the client hands it the session's word on the client's frames
// (RouteSession) and keeps the turns, the queue's bound and the sockets.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <cstddef>
#include <deque>
#include <functional>

#include "serve/server_event.h"
#include "session/line_session.h"

namespace zrt::serve {

// What a speech is given.
struct SpeechContext {
  session::LineSession& session;
  std::function<session::LineSettings()> settings;
  int source;      // the session's source of its lines
  QString origin;  // for the log: "tcp 127.0.0.1:53122"
  std::function<void(const ServerEvent&)> event;
  std::function<void(const QByteArray&)> output;  // bytes back to the client
};

class Speech {
 public:
  explicit Speech(SpeechContext context) : context_(std::move(context)) {}
  virtual ~Speech() = default;
  Speech(const Speech&) = delete;
  Speech& operator=(const Speech&) = delete;

  int Source() const { return context_.source; }
  const QString& Origin() const { return context_.origin; }

  // A line or message as the client sent it, its line end taken off.
  void Take(QByteArray message) { waiting_.push_back(std::move(message)); }
  // One longer than `longest` bytes came in its place: refused.
  virtual void TakeTooLong(std::size_t longest) = 0;
  // Lines or messages taken and not yet worked.
  std::size_t Waiting() const { return waiting_.size(); }
  // Starts what may go now.
  virtual void Next() = 0;
  // Something waits, is under way, or may still be answered.
  virtual bool Busy() const = 0;
  // Drops what waits and what is still to come of the message under way;
  // a frame on the wire goes on to its end, its answer unsaid. The count
  // of lines or messages dropped.
  virtual int Clear() = 0;
  // The client has gone: nothing more is started for it.
  void Close() {
    closed_ = true;
    Clear();
  }

  // The session's word on this client's frames.
  virtual void Received(const QByteArray& block) = 0;
  virtual void ReplyEnded(bool replied) = 0;
  virtual void NotSent(const session::Frame& frame) = 0;
  virtual void NotStarted(const session::Frame& frame, const session::Refusal& why) = 0;
  virtual void LinkLost() = 0;
  virtual void HeldTooLong(const session::Frame& frame) = 0;
  void SourceReady() {
    inSession_ = false;
    Next();
  }

 protected:
  void Emit(ServerEvent event) const {
    event.origin = context_.origin;
    context_.event(event);
  }
  void Output(const QByteArray& bytes) const { context_.output(bytes); }
  // The next waiting line or message.
  QByteArray TakeWaiting() {
    QByteArray next = std::move(waiting_.front());
    waiting_.pop_front();
    return next;
  }
  int DropWaiting() {
    const auto dropped = static_cast<int>(waiting_.size());
    waiting_.clear();
    return dropped;
  }
  // Hands `text` to the session as this client's; the exception's text
  // when its address or rate is no number.
  std::optional<std::string> Submit(const QString& text);

  SpeechContext context_;
  std::deque<QByteArray> waiting_;
  bool inSession_ = false;  // a line of its own is with the session
  bool closed_ = false;
};

// A client's line as text: UTF-8 where its bytes are that, else a
// character a byte.
QString Decoded(const QByteArray& bytes);

// Hands `session`'s word on each frame to the speech whose source it is
// (`find`, null for none), then calls `after` with it, for as long as
// `receiver` lives.
void RouteSession(QObject* receiver, session::LineSession& session,
                  std::function<Speech*(int source)> find, std::function<void(Speech&)> after);

}  // namespace zrt::serve
