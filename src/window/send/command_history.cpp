#include "window/send/command_history.h"

namespace zrt::window {

void CommandHistory::SetLines(const QStringList& lines) {
  lines_.clear();
  for (const QString& line : lines) {
    if (line.isEmpty() || (!lines_.isEmpty() && lines_.back() == line)) continue;
    if (lines_.size() == kLimit) break;
    lines_.append(line);
  }
  at_ = -1;
}

void CommandHistory::Add(const QString& line) {
  at_ = -1;
  if (line.isEmpty() || (!lines_.isEmpty() && lines_.front() == line)) return;
  lines_.prepend(line);
  if (lines_.size() > kLimit) lines_.removeLast();
}

std::optional<QString> CommandHistory::Older(const QString& shown) {
  if (at_ + 1 >= lines_.size()) return std::nullopt;
  if (at_ < 0) edited_ = shown;
  return lines_[++at_];
}

std::optional<QString> CommandHistory::Newer() {
  if (at_ < 0) return std::nullopt;
  --at_;
  return at_ < 0 ? edited_ : lines_[at_];
}

std::optional<QString> CommandHistory::BackToEdited() {
  if (at_ < 0) return std::nullopt;
  at_ = -1;
  return edited_;
}

}  // namespace zrt::window
