// The one editor of numeric values: a spin box that turns one digit. The
// wheel steps the digit under the pointer (Ctrl: ten times it, Shift: a
// tenth of it); ← and → choose a digit, ↑ and ↓ step it, PageUp and
// PageDown step it by ten; typed digits overwrite from the chosen one, and
// k, M, m or u after a number commit it with that prefix. Enter or leaving
// the field commits what was typed, and every step commits at once; Esc
// comes back to the value before editing. A step stops at a limit and
// says which. The unit shown is one of the item's unit group, the one the
// operator last used.
#pragma once

#include <QAbstractSpinBox>
#include <QString>
#include <cstdint>

#include "settings/digit_value.h"

namespace zrt::window {

class ValueEditor : public QAbstractSpinBox {
  Q_OBJECT
  // The value in the group's base unit, for assistive technologies too:
  // writing it commits it.
  Q_PROPERTY(double value READ Value WRITE SetValue NOTIFY Committed USER true)

 public:
  ValueEditor(std::uint8_t group, bool hasSign, QWidget* parent = nullptr);

  // What a value must pass before it is committed.
  void SetGuard(settings::DigitValue::Guard guard) { guard_ = std::move(guard); }
  // Starts editing from `base`, the value Esc comes back to, shown in
  // `unit` where it is one of the group's (the unit it was last set in).
  // Nothing: unknown, shown empty until the operator turns or types it
  // (from 0).
  void StartFrom(std::optional<double> base, std::string_view unit = {});
  double Value() const { return value_.Base(); }
  void SetValue(double base);
  // The number and unit as they go out ("1.1", "kHz").
  QString Number() const { return QString::fromStdString(value_.Number()); }
  QString Unit() const { return QString::fromStdString(std::string(value_.UnitText())); }

  // Back to the value before editing, committed if it differs (Esc).
  void Restore();

  void stepBy(int steps) override;

 signals:
  // A value to send, as Number() and Unit() give it.
  void Committed();
  // A step stopped at a limit, or a typed value went beyond one: `why`.
  void LimitReached(const QString& why);

 protected:
  StepEnabled stepEnabled() const override { return StepUpEnabled | StepDownEnabled; }
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Step(int count, int shift);
  // Commits what was typed, if it passes the guard; else back to what it was.
  void CommitTyped();
  void Commit();
  void Refresh();
  // The value differs from the one last committed.
  bool Uncommitted() const {
    return value_.Number() != committed_.Number() || value_.UnitText() != committed_.UnitText();
  }
  int DigitUnder(int x) const;

  settings::DigitValue value_;
  settings::DigitValue before_;     // the value before editing
  settings::DigitValue committed_;  // the value last committed
  settings::DigitValue::Guard guard_;
  bool typing_ = false;
  bool typingNew_ = false;  // typing into what was empty: the typed text is the number
  bool unknown_ = false;    // shown empty: nobody knows the value yet
  bool startedUnknown_ = false;
  bool committedOnce_ = false;  // since StartFrom
  int wheelRest_ = 0;           // eighths of a degree not yet a notch
};

}  // namespace zrt::window
