// The session's record without a window: how bytes read, the bound, and
// the files it is saved to.
#include "window/log/session_log.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "window/log/log_file.h"

namespace zrt::window::testing {
namespace {

LogEntry Entry(LogEntry::Kind kind, QByteArray bytes, QString text = {}) {
  return {QDateTime(QDate(2026, 12, 7), QTime(18, 3, 12, 345)),
          kind,
          "/dev/ttyUSB0",
          std::move(bytes),
          std::move(text),
          false};
}

TEST(SessionLog, BytesReadAsTextAndHex) {
  struct Case {
    QByteArray bytes;
    bool addressed;
    QString text;
  };
  const Case cases[] = {
      {"XASWP:TRIGG\n", true, "⟨58⟩ASWP:TRIGG⟨0A⟩"},
      {"OK\r\n", false, "OK⟨0D⟩⟨0A⟩"},
      {QByteArray("\0\x7F\x9F\xA0\xFF", 5), false, "⟨00⟩⟨7F⟩⟨9F⟩" + QString(QChar(0xA0)) + "ÿ"},
  };
  for (const Case& c : cases) EXPECT_EQ(SessionLog::TextOf(c.bytes, c.addressed), c.text);

  QByteArray every;
  for (int b = 0; b < 256; ++b) every.append(static_cast<char>(b));
  const QStringList hex = SessionLog::HexOf(every).split(' ');
  ASSERT_EQ(hex.size(), 256);
  for (int b = 0; b < 256; ++b) EXPECT_EQ(hex[b].toInt(nullptr, 16), b);

  SessionLog log;
  log.Append(Entry(LogEntry::Kind::Received, "OK\n"));
  EXPECT_EQ(log.LineOf(log.At(0)), "2026-12-07 18:03:12.345  /dev/ttyUSB0  ← OK⟨0A⟩");
  log.SetView(SessionLog::View::Hex);
  EXPECT_EQ(log.data(log.index(0)).toString(), "2026-12-07 18:03:12.345  /dev/ttyUSB0  ← 4F 4B 0A");
}

TEST(SessionLog, KeepsTheLastEntriesAndCountsTheRest) {
  SessionLog log;
  QSignalSpy inserted(&log, &QAbstractItemModel::rowsInserted);
  QSignalSpy removed(&log, &QAbstractItemModel::rowsRemoved);
  for (int i = 0; i <= SessionLog::kDefaultCapacity; ++i) {
    log.Append(Entry(LogEntry::Kind::Event, {}, QString::number(i)));
  }
  EXPECT_EQ(log.Size(), SessionLog::kDefaultCapacity);
  EXPECT_EQ(log.rowCount(), SessionLog::kDefaultCapacity);
  EXPECT_EQ(log.Dropped(), 1);
  EXPECT_EQ(log.At(0).text, "1");
  EXPECT_EQ(log.At(log.Size() - 1).text, QString::number(SessionLog::kDefaultCapacity));
  EXPECT_EQ(inserted.size(), SessionLog::kDefaultCapacity + 1);
  EXPECT_EQ(removed.size(), 1);
  log.Clear();
  EXPECT_EQ(log.Size(), 0);
  EXPECT_EQ(log.Dropped(), 0);
}

TEST(SessionLog, SavedAsCsvReadsBack) {
  SessionLog log;
  LogEntry sent = Entry(LogEntry::Kind::Sent, "X\"A,B\"\n");
  sent.addressed = true;
  log.Append(sent);
  log.Append(Entry(LogEntry::Kind::Event, {}, "port \"COM1\" lost"));
  QBuffer file;
  file.open(QIODevice::ReadWrite);
  ASSERT_TRUE(log.SaveCsv(file));
  const QStringList lines = QString::fromUtf8(file.data()).split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 3);
  EXPECT_EQ(lines[0], "time,direction,link,bytes,text");
  EXPECT_EQ(lines[1],
            "2026-12-07T18:03:12.345,sent,\"/dev/ttyUSB0\",582241"
            "2c42220a,\"⟨58⟩\"\"A,B\"\"⟨0A⟩\"");
  EXPECT_EQ(QByteArray::fromHex(lines[1].section(',', 3, 3).toLatin1()), sent.bytes);
  EXPECT_TRUE(lines[2].endsWith(",event,\"/dev/ttyUSB0\",,\"port \"\"COM1\"\" lost\""));

  QBuffer text;
  text.open(QIODevice::ReadWrite);
  ASSERT_TRUE(log.SaveText(text));
  EXPECT_TRUE(
      QString::fromUtf8(text.data()).startsWith("2026-12-07 18:03:12.345  /dev/ttyUSB0  → ⟨58⟩"));
}

// Kept on disk as it goes: every entry, however few the view keeps, each
// readable in its day's file as soon as it is added.
TEST(LogFile, KeepsEveryEntryInItsDaysFile) {
  QTemporaryDir dir;
  LogFile file(dir.filePath("logs"));
  SessionLog log(2);
  QObject::connect(&log, &SessionLog::Adding, &file, &LogFile::Write);
  log.Append(Entry(LogEntry::Kind::Event, {}, "before"));  // off: not written
  file.SetOn(true);
  auto lines = [&](const QDate& day) {
    QFile written(file.PathFor(day));
    return written.open(QIODevice::ReadOnly)
               ? QString::fromUtf8(written.readAll()).split('\n', Qt::SkipEmptyParts)
               : QStringList();
  };
  const QDate day(2026, 12, 7);
  for (int i = 0; i < 5; ++i) {
    log.Append(Entry(LogEntry::Kind::Received, QByteArray::number(i)));
    EXPECT_EQ(lines(day).size(), i + 2) << "written as it is added";
  }
  EXPECT_EQ(lines(day)[0], "time,direction,link,bytes,text");
  EXPECT_TRUE(lines(day)[5].endsWith(",received,\"/dev/ttyUSB0\",34,\"4\""));
  LogEntry tomorrow = Entry(LogEntry::Kind::Event, {}, "next day");
  tomorrow.time = tomorrow.time.addDays(1);
  log.Append(tomorrow);
  EXPECT_EQ(lines(day.addDays(1)).size(), 2);
  EXPECT_EQ(log.Size(), 2);

  // A folder that cannot be made is said once, until a write succeeds.
  LogFile blocked(dir.filePath("logs/2026-12-07.csv/under"));
  blocked.SetOn(true);
  QSignalSpy failed(&blocked, &LogFile::Failed);
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(blocked.Write(tomorrow));
  EXPECT_EQ(failed.size(), 1);
}

}  // namespace
}  // namespace zrt::window::testing
