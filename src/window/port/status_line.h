// The status bar's texts: the two panes the window specifies (100 pixels
// each) with a short form of how the serial port and the USB device stand,
// the whole text in the free part of the bar to their right and in the
// panes' tooltips, and notes that stand there for a while before the
// port's state comes back.
#pragma once

#include <QLabel>
#include <QList>
#include <QObject>
#include <QTimer>

#include "window/form/caption_table.h"

class QStatusBar;

namespace zrt::window {

class StatusLine : public QObject {
  Q_OBJECT

 public:
  struct Serial {
    enum class State { Closed, Open, Held, ComingBack };
    State state = State::Closed;
    QString port;
    QString rate;
  };
  static constexpr int kNoteMs = 8000;

  // The bar's first two labels are its panes; the free part is added.
  explicit StatusLine(QStatusBar& bar, QObject* parent = nullptr);

  void Show(const Serial& serial, bool usbOpened, Language language);
  // Says something in the free part for kNoteMs.
  void Note(const QString& text);

  // "PORT RATE bit/s: open", or the pane's "SHORTNAME open".
  static QString SerialText(const Serial& serial, Language language, bool brief = false);
  static QString UsbText(bool opened, Language language);

 private:
  QList<QLabel*> panes_;
  QLabel* text_;
  QTimer note_;
  QString whole_;  // the port's state, once a note has stood its time
};

}  // namespace zrt::window
