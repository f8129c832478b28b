#include "window/send/announcer.h"

#include <QDateTime>

#include "window/form/own_texts.h"

namespace zrt::window {

void Announcer::Note(LogEntry::Kind kind, const QString& link, const QByteArray& bytes,
                     const QString& text, bool addressed, bool asTyped) {
  log_.Append({QDateTime::currentDateTime(), kind, link, bytes, text, addressed, asTyped});
}

void Announcer::Tell(OperatorMessage message, std::function<void()> then) {
  Note(LogEntry::Kind::Event, {}, {}, Said(message));
  messages_.Post(std::move(message), std::move(then));
}

void Announcer::Guarded(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception& error) {
    Tell(ErrorReport(title_, error, CurrentLanguage()));
  }
}

void Announcer::Refuse(const QString& link, const QString& line, OperatorMessage why,
                       std::function<void()> then) {
  Event(link, TextIn(OwnText::LineNotSent, CurrentLanguage()).arg(line, Said(why)));
  messages_.Post(std::move(why), std::move(then));
}

}  // namespace zrt::window
