#include "window/instrument/value_editor.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QWheelEvent>

namespace zrt::window {
namespace {

constexpr int kNotch = 120;  // eighths of a degree

}  // namespace

ValueEditor::ValueEditor(std::uint8_t group, bool hasSign, QWidget* parent)
    : QAbstractSpinBox(parent), value_(group, hasSign), before_(value_), committed_(value_) {
  setObjectName("ValueEditor");
  setAccelerated(false);
  setButtonSymbols(QAbstractSpinBox::NoButtons);
  lineEdit()->installEventFilter(this);
  Refresh();
}

void ValueEditor::StartFrom(std::optional<double> base, std::string_view unit) {
  if (const auto used = unit.empty() ? std::nullopt : settings::FindUnit(value_.Group(), unit)) {
    value_.UseUnit(*used);
  }
  value_.SetBase(base.value_or(0));
  value_.ChooseDigit(0);
  value_.ForgetTyped();
  before_ = committed_ = value_;
  typing_ = false;
  unknown_ = startedUnknown_ = !base;
  typingNew_ = false;
  committedOnce_ = false;
  Refresh();
}

void ValueEditor::SetValue(double base) {
  settings::DigitValue wanted = value_;
  wanted.SetBase(base);
  if (guard_) {
    if (const auto why = guard_(wanted.Number(), wanted.UnitText())) {
      emit LimitReached(QString::fromStdString(*why));
      return;
    }
  }
  value_ = wanted;
  Commit();
}

void ValueEditor::Restore() {
  if (startedUnknown_) {  // nothing to come back to: what was sent stands
    value_ = committed_;
    value_.ForgetTyped();
    typing_ = false;
    unknown_ = !committedOnce_;
    return Refresh();
  }
  value_ = before_;
  value_.ForgetTyped();
  typing_ = false;
  if (Uncommitted()) Commit();
  Refresh();
}

void ValueEditor::stepBy(int steps) { Step(steps, 0); }

void ValueEditor::Step(int count, int shift) {
  if (typing_) CommitTyped();
  const settings::DigitValue::Step step = value_.StepBy(count, shift, guard_);
  if (step.stoppedBy) emit LimitReached(QString::fromStdString(*step.stoppedBy));
  if (step.moved) Commit();
  Refresh();
}

void ValueEditor::Commit() {
  typing_ = typingNew_ = false;
  unknown_ = false;
  committedOnce_ = true;
  value_.ForgetTyped();
  committed_ = value_;
  Refresh();
  emit Committed();
}

void ValueEditor::CommitTyped() {
  typing_ = typingNew_ = false;
  if (guard_) {
    if (const auto why = guard_(value_.Number(), value_.UnitText())) {
      emit LimitReached(QString::fromStdString(*why));
      value_ = committed_;
      unknown_ = startedUnknown_ && !committedOnce_;  // empty again, not a 0 nobody sent
      Refresh();
      return;
    }
  }
  // A value typed into an empty field goes out even where it is the 0 the
  // field started from: the instrument's own value is not known to be it.
  if (Uncommitted() || (startedUnknown_ && !committedOnce_ && !unknown_)) Commit();
  value_.ForgetTyped();
}

void ValueEditor::keyPressEvent(QKeyEvent* event) {
  const QString text = event->text();
  const char key = text.size() == 1 ? text.front().toLatin1() : '\0';
  switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
      if (typing_) CommitTyped();
      value_.ChooseDigit(value_.Digit() + (event->key() == Qt::Key_Left ? 1 : -1));
      return Refresh();
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return CommitTyped();  // taken here: the row it stands in would edit again
    case Qt::Key_Escape:
      Restore();
      return event->ignore();  // a dialog or an item view may close on it too
    default:
      break;
  }
  // Into an empty field what is typed is the number; else it overwrites
  // from the chosen digit.
  if (key && (unknown_ || typingNew_ ? value_.TypeNew(key) : value_.Type(key))) {
    typingNew_ = typingNew_ || unknown_;
    typing_ = true;
    unknown_ = false;
    return Refresh();
  }
  if (key && typing_ && value_.ApplyPrefix(key)) return CommitTyped();
  if (key && key >= ' ') return;           // no other printable key changes the value
  QAbstractSpinBox::keyPressEvent(event);  // ↑ ↓ PageUp PageDown, Tab
}

void ValueEditor::wheelEvent(QWheelEvent* event) {
  const QPoint delta = event->angleDelta();
  wheelRest_ += delta.y() != 0 ? delta.y() : delta.x();  // Shift may turn it sideways
  const int notches = wheelRest_ / kNotch;
  wheelRest_ -= notches * kNotch;
  event->accept();
  if (notches == 0) return;
  const int digit = DigitUnder(lineEdit()->mapFrom(this, event->position().toPoint()).x());
  if (typing_) CommitTyped();
  value_.ChooseDigit(digit);
  const Qt::KeyboardModifiers modifiers = event->modifiers();
  Step(notches, modifiers & Qt::ControlModifier ? 1 : modifiers & Qt::ShiftModifier ? -1 : 0);
}

void ValueEditor::focusInEvent(QFocusEvent* event) {
  QAbstractSpinBox::focusInEvent(event);
  Refresh();
}

void ValueEditor::focusOutEvent(QFocusEvent* event) {
  if (typing_) CommitTyped();
  QAbstractSpinBox::focusOutEvent(event);
  Refresh();
}

bool ValueEditor::eventFilter(QObject* watched, QEvent* event) {
  if (watched == lineEdit() && event->type() == QEvent::MouseButtonPress) {
    if (typing_) CommitTyped();
    value_.ChooseDigit(DigitUnder(static_cast<QMouseEvent*>(event)->position().toPoint().x()));
    Refresh();
    setFocus(Qt::MouseFocusReason);
    return true;
  }
  return QAbstractSpinBox::eventFilter(watched, event);
}

int ValueEditor::DigitUnder(int x) const {
  // The cursor position nearest half a digit to the right is the one after
  // the character under the pointer.
  const int half = lineEdit()->fontMetrics().horizontalAdvance('0') / 2;
  const int after = lineEdit()->cursorPositionAt({x + half, lineEdit()->height() / 2});
  return value_.DigitAt(static_cast<std::size_t>(std::max(after - 1, 0)));
}

void ValueEditor::Refresh() {
  if (unknown_) {
    lineEdit()->clear();
    lineEdit()->setPlaceholderText(Unit());
    setAccessibleDescription({});
    return;
  }
  const QString shown = QString::fromStdString(value_.Shown());
  lineEdit()->setText(shown + " " + Unit());
  // The chosen digit stands out while the field has the focus.
  if (hasFocus()) lineEdit()->setSelection(static_cast<int>(value_.DigitIndex()), 1);
  setAccessibleDescription(Number() + " " + Unit());
}

}  // namespace zrt::window
