// The lines that set items while the operator turns their values. Latest
// wins: for each item at most one line is on the wire or waiting, and a
// newer value for it replaces the one waiting instead of queueing behind
// it, so that fifty notches of the wheel send a few lines and the last of
// them carries the last value. The lines go one at a time, as a source of
// their own in the session, paced, logged and held to the limits like any
// line; the next is handed over only once the reply to the one before has
// ended, so that a value can be replaced until the moment it goes.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "session/line_session.h"

namespace zrt::session {

// Why a line of the tuning did not go.
struct WhyNotSent {
  enum class Kind {
    NotStarted,   // by the limits (`refusal.breach`) or the port, at its rate
    LinkLost,     // its link went while it was out; what waited was dropped
    BadSettings,  // the address or the rate is no number (`detail`, in English)
  };
  Kind kind;
  Refusal refusal{};
  QString detail{};
};

class TuningSender : public QObject {
  Q_OBJECT

 public:
  TuningSender(LineSession& session, int source, std::function<LineSettings()> settings,
               QObject* parent = nullptr);

  // Sends `line` (the whole line, address to unit) for `item` ("CHA:AFREQ"):
  // at once when nothing of ours is out, else in place of that item's
  // waiting line, or after the other items' waiting lines.
  void Set(const QString& item, const QString& line);
  // Lines handed over and not yet answered, or waiting.
  bool Busy() const { return out_.has_value() || !waiting_.empty(); }
  // Drops the value waiting for `item`, if any (what is out goes on).
  void DropWaiting(const QString& item);

 signals:
  // The reply to `line` ended: `reply` is what came (empty: nothing).
  void Answered(const QString& line, const QByteArray& reply);
  // `line` did not go, and why.
  void NotSent(const QString& line, const WhyNotSent& why);

 private:
  void SendNext();

  LineSession& session_;
  int source_;
  std::function<LineSettings()> settings_;
  std::vector<std::pair<QString, QString>> waiting_;  // item, line; in the order first set
  std::optional<QString> out_;                        // the line handed over
  QByteArray reply_;
};

}  // namespace zrt::session
