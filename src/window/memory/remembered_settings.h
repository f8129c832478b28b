// The operator's settings kept between runs: the port, baud rate, address,
// language, interface, the command history, the log's visibility and
// height, the instrument page's, whether lost ports are reopened, the
// limits, and the window's position. They are restored once the window has
// come up as it always does (so a first start is exactly the panel's own),
// and stored as they change. Every value is checked as it is read, since
// the file is the user's to edit: one that does not fit leaves the
// window's own.
#pragma once

#include <QObject>
#include <functional>

#include "window/form/caption_table.h"

class QComboBox;
class QLineEdit;
class QSettings;

namespace zrt::window {

class CommandHistory;
class InstrumentControl;
class LogArea;
class PortControl;
class RadioGroup;
class ShareControl;

class RememberedSettings : public QObject {
  Q_OBJECT

 public:
  // What is remembered, each where the window keeps it.
  struct Parts {
    QWidget& window;  // its position; it owns this object
    QComboBox& port;
    QComboBox& rate;
    QLineEdit& address;
    RadioGroup& interface;
    RadioGroup& languageChoice;  // followed; chosen through selectLanguage
    std::function<void(Language)> selectLanguage;
    std::function<Language()> language;
    CommandHistory& history;
    LogArea& area;  // the log's and the instrument page's, and the log itself
    PortControl& ports;
    ShareControl& sharing;
    InstrumentControl& instrument;
  };

  // Restores what `settings` holds into the window, then follows it.
  // `settings` must outlive this object.
  RememberedSettings(Parts parts, QSettings& settings);

  // A line went out: the history changed.
  void HistoryChanged();

  // Whether the stored file could not be read as a whole, or held a value
  // that made no sense (the window kept its own for it, and the log says so).
  bool Damaged() const { return damaged_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Restore();
  void Follow();
  void Store(const char* key, const QVariant& value);

  Parts parts_;
  QSettings& settings_;
  bool damaged_ = false;
  bool writeChecked_ = false;  // whether the settings can be written is known
};

}  // namespace zrt::window
