// The session's record: every frame sent, every block received and what
// happened to the links, each with its local time to the millisecond and
// its link. It keeps the last `capacity` entries, so that an append costs
// the same however long the session has run; older entries are dropped and
// counted. Entries are kept packed (the time as milliseconds, the link as an
// index into the few links of a session), so that a long session stays
// small. A list model, for a view with uniform rows.
#pragma once

#include <QAbstractListModel>
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <deque>
#include <vector>

class QIODevice;

namespace zrt::window {

struct LogEntry {
  enum class Kind { Sent, Received, Event };
  QDateTime time;  // local time
  Kind kind = Kind::Event;
  QString link;            // the port's name, or "USB"
  QByteArray bytes;        // what went out or came in; empty for an event
  QString text;            // an event: what happened
  bool addressed = false;  // a frame sent whose first byte is the address byte
  bool asTyped = false;    // a serial frame sent without an address at its start
};

class SessionLog : public QAbstractListModel {
  Q_OBJECT

 public:
  static constexpr qsizetype kDefaultCapacity = 100000;
  enum class View { Text, Hex };

  explicit SessionLog(qsizetype capacity = kDefaultCapacity, QObject* parent = nullptr);

  void Append(LogEntry entry);
  void Clear();
  // How many entries were dropped to keep the bound, since the last Clear.
  qsizetype Dropped() const { return dropped_; }
  qsizetype Size() const { return static_cast<qsizetype>(entries_.size()); }
  // The index-th entry kept, oldest first.
  LogEntry At(qsizetype index) const;

  View CurrentView() const { return view_; }
  void SetView(View view);
  // What follows a frame that went out as typed, in the operator's language.
  void SetAsTypedNote(const QString& note);

  // One line per entry, as the view shows it.
  QString LineOf(const LogEntry& entry) const;
  // The bytes as text: U+0000 to U+00FF as in the reply box, with control
  // bytes (and a frame's address byte) shown as their value, "⟨0A⟩".
  static QString TextOf(QByteArrayView bytes, bool addressed = false);
  static QString HexOf(QByteArrayView bytes);

  // Every entry kept, as the text view shows it, one per line.
  bool SaveText(QIODevice& device) const;
  // Every entry kept as CSV: time, direction, link, bytes as hex, text.
  bool SaveCsv(QIODevice& device) const;
  // The CSV's first line, and an entry's line, each with its line end.
  static QString CsvHeader();
  static QString CsvLine(const LogEntry& entry);

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

 signals:
  // An entry is being added (before any is dropped to make room for it).
  void Adding(const LogEntry& entry);

 private:
  // An entry without its bytes, which follow one another in payload_ in
  // the entries' order (both are first in, first out).
  struct Packed {
    qint64 msecs;   // since the epoch
    quint64 start;  // of the bytes (or an event's text in UTF-8), counted over the session
    quint32 size;
    quint16 link;  // into links_
    LogEntry::Kind kind;
    bool addressed;
    bool asTyped;
  };
  quint16 LinkIndex(const QString& link);

  const qsizetype capacity_;
  std::deque<Packed> entries_;
  std::deque<char> payload_;
  quint64 payloadStart_ = 0;  // where payload_'s first byte stands in the session's count
  std::vector<QString> links_;
  qsizetype dropped_ = 0;
  View view_ = View::Text;
  QString asTypedNote_;
};

}  // namespace zrt::window
