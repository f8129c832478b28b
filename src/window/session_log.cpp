#include "window/session_log.h"

#include <QIODevice>
#include <QTextStream>

namespace zrt::window {
namespace {

bool IsControl(unsigned char byte) { return byte < 0x20 || (byte >= 0x7F && byte < 0xA0); }

QString ValueOf(unsigned char byte) {
  return QStringLiteral("⟨%1⟩").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
}

const char* DirectionOf(LogEntry::Kind kind) {
  switch (kind) {
    case LogEntry::Kind::Sent:
      return "→";
    case LogEntry::Kind::Received:
      return "←";
    case LogEntry::Kind::Event:
      break;
  }
  return "·";
}

const char* CsvDirectionOf(LogEntry::Kind kind) {
  switch (kind) {
    case LogEntry::Kind::Sent:
      return "sent";
    case LogEntry::Kind::Received:
      return "received";
    case LogEntry::Kind::Event:
      break;
  }
  return "event";
}

QString CsvField(const QString& field) {
  QString quoted = field;
  quoted.replace('"', "\"\"");
  return '"' + quoted + '"';
}

}  // namespace

SessionLog::SessionLog(qsizetype capacity, QObject* parent)
    : QAbstractListModel(parent), capacity_(std::max<qsizetype>(capacity, 1)) {}

void SessionLog::Append(LogEntry entry) {
  if (ring_.size() < static_cast<std::size_t>(capacity_)) {
    beginInsertRows({}, static_cast<int>(count_), static_cast<int>(count_));
    ring_.push_back(std::move(entry));
    ++count_;
    endInsertRows();
    return;
  }
  // Full: the oldest goes, the newest takes its slot.
  beginRemoveRows({}, 0, 0);
  const std::size_t slot = first_;
  first_ = (first_ + 1) % ring_.size();
  --count_;
  ++dropped_;
  endRemoveRows();
  beginInsertRows({}, static_cast<int>(count_), static_cast<int>(count_));
  ring_[slot] = std::move(entry);
  ++count_;
  endInsertRows();
}

void SessionLog::Clear() {
  beginResetModel();
  ring_.clear();
  first_ = count_ = 0;
  dropped_ = 0;
  endResetModel();
}

const LogEntry& SessionLog::At(qsizetype index) const {
  return ring_[(first_ + static_cast<std::size_t>(index)) % ring_.size()];
}

void SessionLog::SetView(View view) {
  if (view_ == view) return;
  view_ = view;
  if (count_ > 0) emit dataChanged(index(0), index(static_cast<int>(count_) - 1));
}

QString SessionLog::TextOf(QByteArrayView bytes, bool addressed) {
  QString text;
  text.reserve(bytes.size());
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if ((addressed && i == 0) || IsControl(byte)) {
      text += ValueOf(byte);
    } else {
      text += QChar(byte);
    }
  }
  return text;
}

QString SessionLog::HexOf(QByteArrayView bytes) {
  return QString::fromLatin1(bytes.toByteArray().toHex(' ')).toUpper();
}

QString SessionLog::LineOf(const LogEntry& entry) const {
  const QString what = entry.kind == LogEntry::Kind::Event ? entry.text
                       : view_ == View::Hex                ? HexOf(entry.bytes)
                                                           : TextOf(entry.bytes, entry.addressed);
  return entry.time.toString("yyyy-MM-dd HH:mm:ss.zzz") + "  " + entry.link + "  " +
         QString::fromUtf8(DirectionOf(entry.kind)) + " " + what;
}

bool SessionLog::SaveText(QIODevice& device) const {
  QTextStream out(&device);
  out.setEncoding(QStringConverter::Utf8);
  for (qsizetype i = 0; i < Size(); ++i) out << LineOf(At(i)) << '\n';
  out.flush();
  return out.status() == QTextStream::Ok;
}

bool SessionLog::SaveCsv(QIODevice& device) const {
  QTextStream out(&device);
  out.setEncoding(QStringConverter::Utf8);
  out << "time,direction,link,bytes,text\n";
  for (qsizetype i = 0; i < Size(); ++i) {
    const LogEntry& e = At(i);
    const QString text = e.kind == LogEntry::Kind::Event ? e.text : TextOf(e.bytes, e.addressed);
    out << e.time.toString(Qt::ISODateWithMs) << ',' << CsvDirectionOf(e.kind) << ','
        << CsvField(e.link) << ',' << QString::fromLatin1(e.bytes.toHex()) << ',' << CsvField(text)
        << '\n';
  }
  out.flush();
  return out.status() == QTextStream::Ok;
}

int SessionLog::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(count_);
}

QVariant SessionLog::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= static_cast<int>(count_)) {
    return {};
  }
  return LineOf(At(index.row()));
}

}  // namespace zrt::window
