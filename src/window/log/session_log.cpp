#include "window/log/session_log.h"

#include <QIODevice>
#include <QTextStream>
#include <algorithm>

namespace zrt::window {
namespace {

bool IsControl(unsigned char byte) { return byte < 0x20 || (byte >= 0x7F && byte < 0xA0); }

QString ValueOf(unsigned char byte) {
  return QStringLiteral("⟨%1⟩").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
}

// How each kind of entry reads, by LogEntry::Kind: in the view, and in CSV.
struct Direction {
  const char* arrow;
  const char* word;
};
constexpr Direction kDirections[] = {{"→", "sent"}, {"←", "received"}, {"·", "event"}};

const Direction& DirectionOf(LogEntry::Kind kind) { return kDirections[static_cast<int>(kind)]; }

QString CsvField(const QString& field) {
  QString quoted = field;
  quoted.replace('"', "\"\"");
  return '"' + quoted + '"';
}

}  // namespace

SessionLog::SessionLog(qsizetype capacity, QObject* parent)
    : QAbstractListModel(parent), capacity_(std::max<qsizetype>(capacity, 1)) {}

quint16 SessionLog::LinkIndex(const QString& link) {
  for (std::size_t i = 0; i < links_.size(); ++i) {
    if (links_[i] == link) return static_cast<quint16>(i);
  }
  // A session names a handful of links; past the table's end they share its last.
  if (links_.size() < 0xFFFF) links_.push_back(link);
  return static_cast<quint16>(links_.size() - 1);
}

void SessionLog::Append(LogEntry entry) {
  emit Adding(entry);
  const QByteArray bytes =
      entry.kind == LogEntry::Kind::Event ? entry.text.toUtf8() : std::move(entry.bytes);
  if (static_cast<qsizetype>(entries_.size()) == capacity_) {
    beginRemoveRows({}, 0, 0);
    const Packed& oldest = entries_.front();
    payload_.erase(payload_.begin(), payload_.begin() + oldest.size);
    payloadStart_ += oldest.size;
    entries_.pop_front();
    ++dropped_;
    endRemoveRows();
  }
  const int row = static_cast<int>(entries_.size());
  beginInsertRows({}, row, row);
  entries_.push_back({entry.time.toMSecsSinceEpoch(), payloadStart_ + payload_.size(),
                      static_cast<quint32>(bytes.size()), LinkIndex(entry.link), entry.kind,
                      entry.addressed, entry.asTyped});
  payload_.insert(payload_.end(), bytes.begin(), bytes.end());
  endInsertRows();
}

void SessionLog::Clear() {
  beginResetModel();
  entries_.clear();
  payload_.clear();
  payloadStart_ = 0;
  links_.clear();
  dropped_ = 0;
  endResetModel();
}

LogEntry SessionLog::At(qsizetype index) const {
  const Packed& p = entries_[static_cast<std::size_t>(index)];
  const auto from = payload_.begin() + static_cast<std::ptrdiff_t>(p.start - payloadStart_);
  QByteArray bytes(static_cast<qsizetype>(p.size), Qt::Uninitialized);
  std::copy(from, from + p.size, bytes.begin());
  const bool event = p.kind == LogEntry::Kind::Event;
  return {QDateTime::fromMSecsSinceEpoch(p.msecs),
          p.kind,
          links_[p.link],
          event ? QByteArray() : bytes,
          event ? QString::fromUtf8(bytes) : QString(),
          p.addressed,
          p.asTyped};
}

void SessionLog::SetAsTypedNote(const QString& note) {
  asTypedNote_ = note;
  if (!entries_.empty()) emit dataChanged(index(0), index(static_cast<int>(entries_.size()) - 1));
}

void SessionLog::SetView(View view) {
  if (view_ == view) return;
  view_ = view;
  if (!entries_.empty()) emit dataChanged(index(0), index(static_cast<int>(entries_.size()) - 1));
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
         QString::fromUtf8(DirectionOf(entry.kind).arrow) + " " + what +
         (entry.asTyped && !asTypedNote_.isEmpty() ? "  " + asTypedNote_ : QString());
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
  out << CsvHeader();
  for (qsizetype i = 0; i < Size(); ++i) out << CsvLine(At(i));
  out.flush();
  return out.status() == QTextStream::Ok;
}

QString SessionLog::CsvHeader() { return "time,direction,link,bytes,text\n"; }

QString SessionLog::CsvLine(const LogEntry& e) {
  const QString text = e.kind == LogEntry::Kind::Event ? e.text : TextOf(e.bytes, e.addressed);
  return e.time.toString(Qt::ISODateWithMs) + ',' + DirectionOf(e.kind).word + ',' +
         CsvField(e.link) + ',' + QString::fromLatin1(e.bytes.toHex()) + ',' + CsvField(text) +
         '\n';
}

int SessionLog::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

QVariant SessionLog::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() ||
      index.row() >= static_cast<int>(entries_.size())) {
    return {};
  }
  return LineOf(At(index.row()));
}

}  // namespace zrt::window
