// The lines sent, for recalling them into the command line as shells do: Up
// goes to an older line, Down to a newer one and past the newest back to the
// line being edited, Escape straight back to it. Newest first, no line twice
// in a row, at most kLimit lines.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace zrt::window {

class CommandHistory {
 public:
  static constexpr qsizetype kLimit = 500;

  // The lines, newest first.
  const QStringList& Lines() const { return lines_; }
  // Replaces the lines (newest first), keeping the rules; leaves recall.
  void SetLines(const QStringList& lines);

  // A line was sent: it becomes the newest, and recall starts afresh.
  void Add(const QString& line);

  // What the command line should show after Up, Down or Escape, given what
  // it shows now; nothing when it stays as it is.
  std::optional<QString> Older(const QString& shown);
  std::optional<QString> Newer();
  std::optional<QString> BackToEdited();

 private:
  QStringList lines_;
  qsizetype at_ = -1;  // the line recalled; -1: the line being edited
  QString edited_;     // what the command line held when recall began
};

}  // namespace zrt::window
