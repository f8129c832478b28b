#include "window/instrument/function_form.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "compose/availability.h"
#include "compose/key_vocabulary.h"
#include "guard/limits.h"
#include "settings/sweep_plan.h"
#include "settings/units.h"
#include "window/form/own_texts.h"
#include "window/instrument/value_editor.h"

namespace zrt::window {
namespace {

constexpr int kSingleTrigger = 44;
constexpr int kAutoSweep = 81;
constexpr int kMeasure = 63;
constexpr std::uint8_t kOffsetGroup = 10;  // Vdc: the only values with a sign
constexpr int kTickMs = 100;
// How long Single trigger waits for its hold to begin once pressed: the
// line may wait behind others.
constexpr int kHoldWatchMs = 10000;
// The counter measures again after these many seconds (0: not again).
constexpr double kRepeats[] = {0, 0.5, 1, 2};

// The counter reads in Hz, whatever unit a reading comes in.
constexpr std::string_view kReadingUnit = "Hz";

std::optional<std::uint8_t> ReadingGroup() {
  for (const settings::Unit& unit : settings::Units()) {
    if (unit.text == kReadingUnit) return unit.group;
  }
  return std::nullopt;
}

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The key's caption in that language, else the one it is built with.
QString Caption(const compose::KeyEntry& key, Language language) {
  const char* caption = CaptionOf(key.button, language);
  return caption ? QString::fromUtf8(caption) : Text(key.designCaption);
}

}  // namespace

FunctionForm::FunctionForm(int functionCode, HoldLeft holdLeft, QWidget* parent)
    : QWidget(parent),
      function_(functionCode),
      mnemonic_(compose::KeyText(functionCode)),
      holdLeft_(std::move(holdLeft)),
      layout_(new QGridLayout(this)) {
  setObjectName(QString("Form") + Text(mnemonic_));
  layout_->setContentsMargins(4, 4, 4, 4);
  layout_->setColumnStretch(1, 1);
  layout_->setColumnStretch(3, 1);
  if (mnemonic_ == "FSWP" || mnemonic_ == "ASWP") {
    sweepBar_ = new QProgressBar(this);
    sweepBar_->setObjectName("SweepProgress");
    sweepBar_->setRange(0, 1000);
    sweepBar_->setTextVisible(true);
    // Its room is kept while it is hidden, so that the items never move.
    QSizePolicy keepsRoom = sweepBar_->sizePolicy();
    keepsRoom.setRetainSizeWhenHidden(true);
    sweepBar_->setSizePolicy(keepsRoom);
    sweepBar_->hide();
    AddWide(sweepBar_);  // above the items
    sweepTick_.setInterval(kTickMs);
    connect(&sweepTick_, &QTimer::timeout, this, &FunctionForm::ShowSweep);
  }
  for (int code : compose::ItemsForFunction(functionCode)) AddItem(code);
  holdTick_.setInterval(kTickMs);
  connect(&holdTick_, &QTimer::timeout, this, &FunctionForm::ShowHold);
  if (reading_) {
    repeatChoice_ = new QComboBox(this);
    repeatChoice_->setObjectName("RepeatEvery");
    for (double seconds : kRepeats) repeatChoice_->addItem({}, seconds);
    repeatLabel_ = new QLabel(this);
    repeatLabel_->setBuddy(repeatChoice_);
    AddPair(repeatLabel_, repeatChoice_);
    connect(&repeat_, &QTimer::timeout, this, &FunctionForm::Measure);
    connect(repeatChoice_, &QComboBox::currentIndexChanged, this, [this] {
      const double seconds = repeatChoice_->currentData().toDouble();
      if (seconds <= 0) return repeat_.stop();
      repeat_.start(static_cast<int>(seconds * 1000));
      Measure();
    });
  }
  layout_->setRowStretch(row_ + 1, 1);  // what is left, below the last row
}

void FunctionForm::AddPair(QWidget* caption, QWidget* field) {
  layout_->addWidget(caption, row_, column_ * 2);
  layout_->addWidget(field, row_, column_ * 2 + 1);
  if (++column_ == 2) {
    column_ = 0;
    ++row_;
  }
}

void FunctionForm::AddWide(QWidget* widget) {
  if (column_ != 0) {
    column_ = 0;
    ++row_;
  }
  layout_->addWidget(widget, row_++, 0, 1, 4);
}

void FunctionForm::AddItem(int code) {
  const compose::KeyEntry* key = compose::FindKey(code);
  if (!key) return;
  auto* caption = new QLabel(this);
  captions_[code] = caption;
  const QString item = Text(mnemonic_) + ":" + Text(key->keyText);
  if (key->unitGroup == compose::kNoUnitGroup) {
    auto* button = new QPushButton(this);
    button->setObjectName("Item" + Text(key->keyText));
    buttons_[code] = button;
    AddPair(caption, button);
    caption->setBuddy(button);
    connect(button, &QPushButton::clicked, this, [this, code] { Press(code); });
    if (code == kMeasure) {
      reading_ = new QLabel(this);
      reading_->setObjectName("Reading");
      QFont large = reading_->font();
      if (large.pointSizeF() > 0) {
        large.setPointSizeF(large.pointSizeF() * 2.5);
      } else {
        large.setPixelSize(large.pixelSize() * 5 / 2);
      }
      large.setBold(true);
      reading_->setFont(large);
      reading_->setTextInteractionFlags(Qt::TextSelectableByMouse);
      AddWide(reading_);
    }
    return;
  }
  auto* editor = new ValueEditor(key->unitGroup, key->unitGroup == kOffsetGroup, this);
  editor->setObjectName("Item" + Text(key->keyText));
  editors_[code] = editor;
  AddPair(caption, editor);
  caption->setBuddy(editor);
  editor->SetGuard([this, item](std::string_view number, std::string_view unit) {
    return guard_ ? guard_(item.toStdString() + std::string(number) + std::string(unit))
                  : std::nullopt;
  });
  connect(editor, &ValueEditor::Committed, this, [this, editor, item] {
    sweepRepeats_ = false;  // a sweep changed is one no longer known to run
    emit SettingChosen(item, item + editor->Number() + editor->Unit());
  });
  connect(editor, &ValueEditor::LimitReached, this, &FunctionForm::LimitNoted);
}

void FunctionForm::Press(int code) {
  const QString item = Text(mnemonic_) + ":" + Text(compose::KeyText(code));
  if (code == kMeasure) return Measure();
  emit SettingChosen(item, item);
  if (code == kSingleTrigger) {
    holdClock_.start();
    holdTick_.start();
    ShowHold();
  }
  if (sweepBar_ && (code == kSingleTrigger || code == kAutoSweep)) {
    sweepRepeats_ = code == kAutoSweep;
    sweepClock_.start();
    sweepTick_.start();
    ShowSweep();
  }
}

void FunctionForm::Measure() {
  const QString item = Text(mnemonic_) + ":" + Text(compose::KeyText(kMeasure));
  emit SettingChosen(item, item + "?");
}

void FunctionForm::StopRepeating() {
  repeat_.stop();
  if (repeatChoice_) {
    const QSignalBlocker quiet(repeatChoice_);
    repeatChoice_->setCurrentIndex(0);
  }
}

void FunctionForm::Answered(const QString& setting, const QByteArray& reply) {
  if (reading_ && setting.endsWith(Text(compose::KeyText(kMeasure)) + "?")) {
    read_ = true;
    ShowReading(QString::fromLatin1(reply).trimmed());
  }
}

void FunctionForm::ShowReading(const QString& reply) {
  const std::string text = reply.toStdString();
  const auto group = ReadingGroup();
  const auto hz = group ? settings::ReadQuantity(text, *group) : std::nullopt;
  // A reading that is no quantity is shown as it came.
  reading_->setText(hz ? QString::fromStdString(settings::Quantity(*hz, kReadingUnit)) : reply);
}

void FunctionForm::ShowHold() {
  QPushButton* button = buttons_.count(kSingleTrigger) ? buttons_[kSingleTrigger] : nullptr;
  if (!button) return holdTick_.stop();
  const auto left = holdLeft_ ? holdLeft_() : std::chrono::milliseconds(0);
  const QString caption = Caption(*compose::FindKey(kSingleTrigger), language_);
  if (left.count() > 0) {
    button->setEnabled(false);
    button->setText(TextIn(OwnText::HoldLeft, language_)
                        .arg(caption)
                        .arg(static_cast<double>(left.count()) / 1000.0, 0, 'f', 1));
    return;
  }
  button->setEnabled(true);
  button->setText(caption);
  if (holdClock_.elapsed() > kHoldWatchMs) holdTick_.stop();
}

void FunctionForm::ShowSweep() {
  const auto plan = known_ ? settings::PlanOf(*known_, mnemonic_) : std::nullopt;
  sweepBar_->show();
  if (!plan) {
    sweepTick_.stop();
    sweepBar_->setValue(0);
    sweepBar_->setFormat(TextIn(OwnText::SweepUnknown, language_));
    return;
  }
  const double elapsed = static_cast<double>(sweepClock_.elapsed()) / 1000.0;
  const double done = plan->DoneAt(elapsed, sweepRepeats_);
  sweepBar_->setValue(static_cast<int>(done * 1000));
  sweepBar_->setFormat(
      TextIn(OwnText::SweepLeft, language_)
          .arg(plan->Seconds() * (1 - done), 0, 'f', 1)
          .arg(QString::fromStdString(settings::Quantity(plan->ValueAt(elapsed, sweepRepeats_),
                                                         mnemonic_ == "FSWP" ? "Hz" : "Vpp"))));
  if (!sweepRepeats_ && done >= 1) sweepTick_.stop();
}

void FunctionForm::Show(const settings::InstrumentSettings& known, Language language) {
  known_ = &known;
  language_ = language;
  for (const auto& [code, caption] : captions_) {
    caption->setText(Caption(*compose::FindKey(code), language));
  }
  for (const auto& [code, button] : buttons_) {
    button->setText(code == kMeasure ? TextIn(OwnText::MeasureButton, language)
                                     : Caption(*compose::FindKey(code), language));
    button->setAccessibleName(button->text());
  }
  if (holdTick_.isActive()) ShowHold();
  for (const auto& [code, editor] : editors_) {
    const compose::KeyEntry* key = compose::FindKey(code);
    editor->setAccessibleName(Caption(*key, language));
    if (editor->hasFocus()) continue;  // being turned: what it shows is newer
    const settings::Setting* setting = known.Find(mnemonic_, key->keyText);
    const settings::Value* value = setting ? setting->Fresh() : nullptr;
    editor->StartFrom(value ? std::optional(value->number) : std::nullopt,
                      value ? std::string_view(value->unit) : std::string_view());
  }
  if (repeatChoice_) {
    repeatLabel_->setText(TextIn(OwnText::RepeatEvery, language));
    repeatChoice_->setAccessibleName(repeatLabel_->text());
    for (int i = 0; i < repeatChoice_->count(); ++i) {
      const double seconds = repeatChoice_->itemData(i).toDouble();
      repeatChoice_->setItemText(i, seconds > 0
                                        ? TextIn(OwnText::RepeatSeconds, language).arg(seconds)
                                        : TextIn(OwnText::RepeatOff, language));
    }
  }
  if (sweepBar_ && sweepBar_->isVisible()) ShowSweep();
  if (reading_ && !read_) {
    reading_->setText(TextIn(OwnText::NoReadingYet, language).arg(Text(kReadingUnit)));
  }
}

}  // namespace zrt::window
