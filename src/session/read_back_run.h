// Reads each channel's settings back from the instrument: one query line a
// item (settings::ReadBackItems), through the session as a source of its
// own, paced as every line is. The session keeps what the replies say; an
// item that does not answer within the timeout is marked there and the
// read goes on. Stop takes effect between lines.
#pragma once

#include <QObject>
#include <functional>

#include "sequence/runner.h"
#include "session/session_link.h"

namespace zrt::session {

class ReadBackRun : public QObject {
  Q_OBJECT

 public:
  // `settings` is asked for each line; its address goes in front of each
  // query.
  ReadBackRun(LineSession& session, int source, std::function<LineSettings()> settings,
              QObject* parent = nullptr);

  void Start();
  void Stop() { runner_.Stop(); }
  bool Running() const { return runner_.CurrentState() != sequence::Runner::State::Idle; }
  int Total() const;

 signals:
  // The item at `index` (from 0) is being asked for.
  void Asking(int index, int total);
  // The read is over: `answered` of `asked` items answered; `completed`
  // false when it was stopped or the link went away first.
  void Finished(int answered, int asked, bool completed);

 private:
  std::function<LineSettings()> settings_;
  SessionLink link_;
  sequence::Runner runner_;
  int answered_ = 0;
  int asked_ = 0;
};

}  // namespace zrt::session
