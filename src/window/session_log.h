// The session's record: every frame sent, every block received and what
// happened to the links, each with its local time to the millisecond and
// its link. It keeps the last `capacity` entries in a ring, so that an
// append costs the same however long the session has run; older entries are
// dropped and counted. A list model, for a view with uniform rows.
#pragma once

#include <QAbstractListModel>
#include <QByteArray>
#include <QDateTime>
#include <QString>
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
  qsizetype Size() const { return static_cast<qsizetype>(count_); }
  // The index-th entry kept, oldest first.
  const LogEntry& At(qsizetype index) const;

  View CurrentView() const { return view_; }
  void SetView(View view);

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

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

 private:
  const qsizetype capacity_;
  std::vector<LogEntry> ring_;
  std::size_t first_ = 0;  // the oldest entry's slot
  std::size_t count_ = 0;
  qsizetype dropped_ = 0;
  View view_ = View::Text;
};

}  // namespace zrt::window
