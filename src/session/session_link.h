// One source's way into a LineSession, as a sequence run sends through it:
// its lines go with the settings it is given, and it hears its own frames,
// its own replies and when it may send again.
#pragma once

#include <functional>

#include "sequence/runner.h"
#include "session/line_session.h"

namespace zrt::session {

class SessionLink : public sequence::LineLink {
  Q_OBJECT

 public:
  // `settings` is asked for each line.
  SessionLink(LineSession& session, int source, std::function<LineSettings()> settings,
              QObject* parent = nullptr);

  bool Ready() const override { return session_.SourceIdle(source_); }
  // A line the settings refuse (a rate or an address that is no integer,
  // a rate the port refuses) is not sent: FrameSent(false); nor is one the
  // limits refuse when its turn comes: BeyondLimit.
  void Send(const QString& line) override;

  // The bytes of this source's frame last sent.
  const QByteArray& LastFrame() const { return frame_; }
  // The link went away: the run ends.
  void LinkLost() { emit Lost(); }

 private:
  LineSession& session_;
  const int source_;
  std::function<LineSettings()> settings_;
  QByteArray frame_;
};

}  // namespace zrt::session
