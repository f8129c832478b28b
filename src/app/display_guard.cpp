#include "app/display_guard.h"

#include <QString>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <utility>
#include <vector>

namespace zrt::app {
namespace {

// A message and where it came from; the context's strings are Qt's literals.
struct Held {
  QtMsgType type;
  const char* file;
  int line;
  const char* function;
  const char* category;
  QString text;
};

// The guard's state, reached from Qt's message handler (a plain function);
// one guard at a time, during start-up.
std::mutex heldMutex;
std::vector<Held> held;

QString FailureLine(const std::vector<QString>& messages, const QString& fatal) {
  // Qt names the display it could not reach in a warning before the fatal
  // message, which only says that no platform plugin started.
  for (const QString& text : messages) {
    if (text.contains("could not connect to display", Qt::CaseInsensitive) ||
        text.contains("Failed to create wl_display", Qt::CaseInsensitive) ||
        text.contains("Could not find the Qt platform plugin", Qt::CaseInsensitive)) {
      return "cannot show the window: " + text.trimmed();
    }
  }
  return "cannot show the window: " + fatal.section('\n', 0, 0).trimmed();
}

void HoldMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  std::vector<QString> texts;
  {
    std::lock_guard lock(heldMutex);
    if (type != QtFatalMsg) {
      held.push_back({type, context.file, context.line, context.function, context.category, text});
      return;
    }
    for (const Held& h : held) texts.push_back(h.text);
  }
  const QString line = FailureLine(texts, text);
  std::fprintf(stderr, "zrt-panel: %s\n", qPrintable(line));
  std::fflush(stderr);
  std::_Exit(1);
}

}  // namespace

DisplayGuard::DisplayGuard() : previous_(qInstallMessageHandler(&HoldMessage)) {}

DisplayGuard::~DisplayGuard() { Release(); }

void DisplayGuard::Release() {
  if (released_) return;
  released_ = true;
  qInstallMessageHandler(previous_);
  std::vector<Held> pending;
  {
    std::lock_guard lock(heldMutex);
    pending = std::exchange(held, {});
  }
  for (const Held& h : pending) {
    qt_message_output(h.type, QMessageLogContext(h.file, h.line, h.function, h.category), h.text);
  }
}

}  // namespace zrt::app
