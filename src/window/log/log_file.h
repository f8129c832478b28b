// The session log kept on disk as it goes: each entry is written to a CSV
// file, one file a day (named by the entry's date), and flushed as it is
// added, so that an entry once shown is not lost when the panel stops. The
// view's bound on entries does not apply here.
#pragma once

#include <QFile>
#include <QObject>
#include <QString>

#include "window/log/session_log.h"

namespace zrt::window {

class LogFile : public QObject {
  Q_OBJECT

 public:
  // Files go in `folder` (made when first written to).
  explicit LogFile(QString folder = DefaultFolder(), QObject* parent = nullptr);

  // zrt-panel/logs in the user's data folder (~/.local/share on Linux).
  static QString DefaultFolder();

  void SetOn(bool on);
  bool On() const { return on_; }
  // The file of that day.
  QString PathFor(const QDate& day) const;

  // Writes the entry when on; false when it could not be written, which
  // Failed says once until a write succeeds again.
  bool Write(const LogEntry& entry);

 signals:
  void Failed(const QString& path, const QString& why);

 private:
  QString folder_;
  QFile file_;
  QDate day_;  // of the file open
  bool on_ = false;
  bool failing_ = false;
};

}  // namespace zrt::window
