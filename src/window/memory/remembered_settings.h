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

class QSettings;

namespace zrt::window {

class TForm1;

class RememberedSettings : public QObject {
  Q_OBJECT

 public:
  // Restores what `settings` holds into `form`, then follows the form.
  // Both must outlive this object, which the form may own.
  RememberedSettings(TForm1& form, QSettings& settings);

  // Whether the stored file could not be read as a whole, or held a value
  // that made no sense (the window kept its own for it, and the log says so).
  bool Damaged() const { return damaged_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Restore();
  void Follow();
  void Store(const char* key, const QVariant& value);

  TForm1& form_;
  QSettings& settings_;
  bool damaged_ = false;
  bool writeChecked_ = false;  // whether the settings can be written is known
};

}  // namespace zrt::window
