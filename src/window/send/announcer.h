// How the window says what happened: an event in the session log, and what
// the operator must know as a message after it, so that the log holds
// every message shown.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

#include "window/form/caption_table.h"
#include "window/log/session_log.h"
#include "window/send/operator_messages.h"

namespace zrt::window {

class Announcer {
 public:
  // Messages are titled `title`, in the language `language` gives.
  Announcer(SessionLog& log, MessageQueue& messages, QString title,
            std::function<Language()> language)
      : log_(log), messages_(messages), title_(std::move(title)), language_(std::move(language)) {}

  void Note(LogEntry::Kind kind, const QString& link, const QByteArray& bytes,
            const QString& text = {}, bool addressed = false, bool asTyped = false);
  // An event of `link`'s, in words.
  void Event(const QString& link, const QString& text) {
    Note(LogEntry::Kind::Event, link, {}, text);
  }
  // Says it in the log, then shows it to the operator; `then` runs once
  // the operator has answered.
  void Tell(OperatorMessage message, std::function<void()> then = {});
  // A line that did not go out on `link`: one event naming it and why, and
  // the message.
  void Refuse(const QString& link, const QString& line, OperatorMessage why,
              std::function<void()> then = {});
  // Runs an operator's action; what it raises is told, not thrown on.
  void Guarded(const std::function<void()>& action);
  // A message that no longer holds, if it still shows.
  void Withdraw(const OperatorMessage& message) { messages_.Withdraw(message); }
  Language CurrentLanguage() const { return language_(); }
  const QString& Title() const { return title_; }

 private:
  SessionLog& log_;
  MessageQueue& messages_;
  QString title_;
  std::function<Language()> language_;
};

}  // namespace zrt::window
