// A virtual X display for end-to-end tests, and what a person does on it:
// pointer clicks and typing (xdotool), copying text (xclip), looking at the
// screen, and the close box (the window manager's close request).
#pragma once

#include <QByteArray>
#include <QImage>
#include <QPoint>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

typedef struct xcb_connection_t xcb_connection_t;

namespace zrt::e2e {

// Runs a program to its end; its standard output, or a null array when it
// failed or took longer than `timeoutMs`.
QByteArray RunTool(const QString& program, const QStringList& arguments,
                   const QProcessEnvironment& environment, int timeoutMs = 10000);

class XSession {
 public:
  // Starts Xvfb on a free display number; IsUp() says whether it came up.
  XSession();
  ~XSession();
  XSession(const XSession&) = delete;
  XSession& operator=(const XSession&) = delete;

  bool IsUp() const { return connection_ != nullptr; }
  // An environment for programs on this display.
  QProcessEnvironment Environment() const;

  // The first visible window with this title, waiting up to `timeoutMs`; 0 if none.
  unsigned long WaitForWindow(const QString& title, int timeoutMs = 10000) const;
  // The number of visible windows with this title.
  int CountWindows(const QString& title) const;
  // The window's top-left corner on the screen.
  QPoint Origin(unsigned long window) const;
  QSize Size(unsigned long window) const;

  void Click(QPoint screenPoint) const;
  void DoubleClick(QPoint screenPoint) const;
  // Turns the wheel there: notches up (> 0) or down.
  void Wheel(QPoint screenPoint, int notches) const;
  void Type(const QString& text) const;
  void Keys(const QString& keys) const;  // e.g. "ctrl+a", "Return"
  // The clipboard's text.
  QString Clipboard() const;
  // The screen's pixels in `area`.
  QImage Grab(QRect area) const;
  // Asks the window to close, as a window manager's close box does.
  void RequestClose(unsigned long window) const;
  // Resizes the window, as dragging its corner does.
  void Resize(unsigned long window, QSize size) const;

 private:
  QByteArray Xdotool(const QStringList& arguments) const;

  QProcess server_;
  QString display_;
  QTemporaryDir config_;  // the programs' settings, away from the user's
  xcb_connection_t* connection_ = nullptr;
};

}  // namespace zrt::e2e
