#include "window/log/log_file.h"

#include <QDir>
#include <QStandardPaths>

namespace zrt::window {

LogFile::LogFile(QString folder, QObject* parent) : QObject(parent), folder_(std::move(folder)) {}

QString LogFile::DefaultFolder() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/zrt-panel/logs";
}

void LogFile::SetOn(bool on) {
  on_ = on;
  if (!on_) file_.close();
}

QString LogFile::PathFor(const QDate& day) const {
  return folder_ + "/" + day.toString(Qt::ISODate) + ".csv";
}

bool LogFile::Write(const LogEntry& entry) {
  if (!on_) return true;
  const QDate day = entry.time.date();
  QString why;
  if (!file_.isOpen() || day != day_) {
    file_.close();
    file_.setFileName(PathFor(day));
    day_ = day;
    if (!QDir().mkpath(folder_)) {
      why = QString("cannot make the folder %1").arg(folder_);
    } else if (!file_.open(QIODevice::WriteOnly | QIODevice::Append)) {
      why = file_.errorString();
    } else if (file_.size() == 0) {
      file_.write(SessionLog::CsvHeader().toUtf8());
    }
  }
  if (why.isEmpty() && file_.isOpen()) {
    const QByteArray line = SessionLog::CsvLine(entry).toUtf8();
    if (file_.write(line) != line.size() || !file_.flush()) why = file_.errorString();
  }
  if (why.isEmpty()) {
    failing_ = false;
    return true;
  }
  file_.close();
  if (!std::exchange(failing_, true)) emit Failed(file_.fileName(), why);
  return false;
}

}  // namespace zrt::window
