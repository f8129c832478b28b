#include "window/instrument/instrument_view.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "compose/key_vocabulary.h"
#include "settings/output_shape.h"
#include "settings/read_back.h"
#include "settings/sweep_plan.h"
#include "window/form/own_texts.h"
#include "window/instrument/channel_cells.h"
#include "window/instrument/function_form.h"
#include "window/instrument/output_preview.h"
#include "window/instrument/setting_text.h"

namespace zrt::window {
namespace {

using settings::ChannelQuantity;

// A value in bold: read back otherwise than set, or a setting the
// instrument did not take.
bool Marked(const settings::Setting* setting) {
  return setting && (setting->Disagrees() || setting->NotTaken());
}

// The spans the picture may be given, besides two periods.
constexpr double kSpans[] = {10e-6, 100e-6, 1e-3, 10e-3, 100e-3, 1.0};

bool InChannelRows(const settings::Setting& setting) {
  if (setting.function != "CHA" && setting.function != "CHB") return false;
  if (setting.item == settings::kShapeItem) return true;
  for (const settings::ChannelRow& row : settings::ChannelRows()) {
    if (setting.item == (setting.function == "CHA" ? row.a : row.b)) return true;
  }
  return false;
}

}  // namespace

InstrumentView::InstrumentView(QWidget* parent)
    : QWidget(parent),
      readBack_(new QPushButton(this)),
      stop_(new QPushButton(this)),
      progress_(new QLabel(this)),
      savePreset_(new QPushButton(this)),
      presetButton_(new QToolButton(this)),
      presets_(new QMenu(this)),
      limits_(new QPushButton(this)),
      allOff_(new QPushButton(this)),
      functionLabel_(new QLabel(this)),
      functionChoice_(new QComboBox(this)),
      pages_(new QStackedWidget(this)),
      table_(new QTableWidget(this)),
      cells_(new ChannelCells(*table_, this)),
      preview_(new OutputPreview(this)),
      limitNote_(new QLabel(this)),
      span_(new QComboBox(this)) {
  setObjectName("InstrumentView");
  readBack_->setObjectName("ReadBack");
  stop_->setObjectName("ReadBackStop");
  progress_->setObjectName("ReadBackProgress");
  savePreset_->setObjectName("SavePreset");
  presetButton_->setObjectName("Presets");
  presets_->setObjectName("PresetMenu");
  limits_->setObjectName("LimitsButton");
  allOff_->setObjectName("AllOutputsOff");
  table_->setObjectName("InstrumentTable");
  functionChoice_->setObjectName("FunctionChoice");
  functionLabel_->setBuddy(functionChoice_);
  functionChoice_->addItem({}, -1);  // both channels: the table
  for (int code : compose::ButtonKeys(compose::KeyClass::Function)) {
    if (code != 0 && code != 1) functionChoice_->addItem({}, code);
  }
  pages_->addWidget(table_);
  span_->setObjectName("PreviewSpan");
  span_->addItem({}, 0.0);
  for (double seconds : kSpans) span_->addItem(Seconds(seconds), seconds);
  stop_->setEnabled(false);
  progress_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  presetButton_->setMenu(presets_);
  presetButton_->setPopupMode(QToolButton::InstantPopup);
  table_->setColumnCount(3);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  table_->horizontalHeader()->setStretchLastSection(true);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(readBack_);
  buttons->addWidget(stop_);
  buttons->addWidget(progress_, 1);
  for (QWidget* button :
       std::initializer_list<QWidget*>{savePreset_, presetButton_, limits_, allOff_}) {
    buttons->addWidget(button);
  }
  // The reason a value stopped, whole: it wraps beside the span's choice,
  // taking its room from the picture, never moving the rest.
  limitNote_->setObjectName("LimitNote");
  limitNote_->setWordWrap(true);
  limitNote_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  limitNote_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  auto* under = new QHBoxLayout;
  under->addWidget(limitNote_, 1);
  under->addWidget(span_, 0, Qt::AlignRight | Qt::AlignBottom);
  auto* picture = new QVBoxLayout;
  picture->addWidget(preview_, 1);
  picture->addLayout(under);
  auto* choice = new QHBoxLayout;
  choice->addWidget(functionLabel_);
  choice->addWidget(functionChoice_, 1);
  auto* left = new QVBoxLayout;
  left->addLayout(choice);
  left->addWidget(pages_, 1);
  auto* body = new QHBoxLayout;
  body->addLayout(left, 3);
  body->addLayout(picture, 2);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addLayout(buttons);
  layout->addLayout(body, 1);

  connect(readBack_, &QPushButton::clicked, this, &InstrumentView::ReadBackClicked);
  connect(stop_, &QPushButton::clicked, this, &InstrumentView::StopClicked);
  connect(savePreset_, &QPushButton::clicked, this, &InstrumentView::SavePresetClicked);
  connect(limits_, &QPushButton::clicked, this, &InstrumentView::LimitsClicked);
  connect(allOff_, &QPushButton::clicked, this, &InstrumentView::AllOffClicked);
  connect(presets_, &QMenu::aboutToShow, this, &InstrumentView::PresetsOpening);
  connect(cells_, &ChannelCells::SettingChosen, this, &InstrumentView::SettingChosen);
  connect(functionChoice_, &QComboBox::currentIndexChanged, this,
          [this](int index) { ChooseFunction(functionChoice_->itemData(index).toInt()); });
  connect(cells_, &ChannelCells::LimitNoted, this, &InstrumentView::LimitNoted);
  connect(this, &InstrumentView::LimitNoted, limitNote_, &QLabel::setText);
  connect(this, &InstrumentView::SettingChosen, limitNote_, &QLabel::clear);
  connect(span_, &QComboBox::currentIndexChanged, this,
          [this] { preview_->SetSpan(span_->currentData().toDouble()); });
}

QSize InstrumentView::sizeHint() const {
  const int rows = static_cast<int>(settings::ChannelRows().size()) + 1;  // and the limits
  const int tableHeight = table_->horizontalHeader()->sizeHint().height() +
                          rows * table_->verticalHeader()->defaultSectionSize() +
                          2 * table_->frameWidth();
  const int left = functionChoice_->sizeHint().height() + tableHeight;
  const int right = preview_->sizeHint().height() + span_->sizeHint().height();
  const QMargins margins = layout()->contentsMargins();
  return {QWidget::sizeHint().width(), margins.top() + margins.bottom() +
                                           readBack_->sizeHint().height() +
                                           2 * layout()->spacing() + std::max(left, right)};
}

void InstrumentView::Show(const settings::InstrumentSettings& known, const guard::Limits& limits) {
  known_ = known;
  limitsShown_ = limits;
  Refill();
}

void InstrumentView::SetGuard(std::function<std::optional<std::string>(const std::string&)> guard) {
  guard_ = guard;
  cells_->SetGuard(guard);
  for (FunctionForm* form : forms_) form->SetGuard(guard);
}

FunctionForm* InstrumentView::Form(int code) const {
  for (FunctionForm* form : forms_) {
    if (form->Function() == code) return form;
  }
  return nullptr;
}

void InstrumentView::ChooseFunction(int code) {
  {
    const QSignalBlocker quiet(functionChoice_);
    functionChoice_->setCurrentIndex(std::max(functionChoice_->findData(code), 0));
  }
  if (code < 0) return pages_->setCurrentWidget(table_);
  FunctionForm* form = Form(code);
  if (!form) {
    // Its rows keep their height, and scroll where the page is low.
    auto* scroll = new QScrollArea(pages_);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    form = new FunctionForm(
        code, [this] { return holdLeft_ ? holdLeft_() : std::chrono::milliseconds(0); }, scroll);
    scroll->setWidget(form);
    form->SetGuard(guard_);
    connect(form, &FunctionForm::SettingChosen, this, &InstrumentView::SettingChosen);
    connect(form, &FunctionForm::LimitNoted, this, &InstrumentView::LimitNoted);
    form->Show(known_, language_);
    pages_->addWidget(scroll);
    forms_.push_back(form);
  }
  pages_->setCurrentWidget(form->parentWidget()->parentWidget());  // its scroll area
}

void InstrumentView::Answered(const QString& setting, const QByteArray& reply) {
  for (FunctionForm* form : forms_) form->Answered(setting, reply);
}

bool InstrumentView::Repeating() const {
  return std::any_of(forms_.begin(), forms_.end(),
                     [](FunctionForm* form) { return form->Repeating(); });
}

void InstrumentView::StopRepeating() {
  for (FunctionForm* form : forms_) form->StopRepeating();
}

void InstrumentView::ShowProgress(const QString& text, bool running) {
  progress_->setText(text);
  readBack_->setEnabled(!running);
  stop_->setEnabled(running);
}

void InstrumentView::ApplyLanguage(Language language) {
  language_ = language;
  readBack_->setText(TextIn(OwnText::ReadBackButton, language));
  stop_->setText(TextIn(OwnText::ReadBackStop, language));
  savePreset_->setText(TextIn(OwnText::SavePreset, language));
  presetButton_->setText(TextIn(OwnText::Presets, language));
  limits_->setText(TextIn(OwnText::LimitsButton, language));
  allOff_->setText(TextIn(OwnText::AllOutputsOff, language));
  allOff_->setToolTip(
      QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O).toString(QKeySequence::NativeText));
  span_->setItemText(0, TextIn(OwnText::PreviewTwoPeriods, language));
  functionLabel_->setText(TextIn(OwnText::FunctionChoice, language));
  functionChoice_->setAccessibleName(functionLabel_->text());
  functionChoice_->setItemText(0, TextIn(OwnText::ChannelsChoice, language));
  for (int i = 1; i < functionChoice_->count(); ++i) {
    const compose::KeyEntry* key = compose::FindKey(functionChoice_->itemData(i).toInt());
    const char* caption = CaptionOf(key->button, language);
    functionChoice_->setItemText(i,
                                 QString::fromUtf8(caption ? caption : key->designCaption.data()));
  }
  table_->setHorizontalHeaderLabels({TextIn(OwnText::ViewItem, language),
                                     TextIn(OwnText::ViewChannelA, language),
                                     TextIn(OwnText::ViewChannelB, language)});
  preview_->ApplyLanguage(language);
  Refill();
}

void InstrumentView::Refill() {
  struct Row {
    QString name;
    QString a;
    QString b;
    bool differs = false;
    bool stale = false;
  };
  std::vector<Row> rows;
  const auto text = [&](const settings::Setting* setting) {
    return SettingText(setting, language_);
  };
  for (const settings::ChannelRow& row : settings::ChannelRows()) {
    const bool wave = row.quantity == ChannelQuantity::Waveform;
    const settings::Setting* a = row.a.empty() ? nullptr
                                 : wave        ? ChannelWaveform(known_, "CHA", row.a)
                                               : known_.Find("CHA", row.a);
    const settings::Setting* b = row.b.empty() ? nullptr
                                 : wave        ? ChannelWaveform(known_, "CHB", row.b)
                                               : known_.Find("CHB", row.b);
    rows.push_back({TextIn(QuantityName(row.quantity), language_), row.a.empty() ? "—" : text(a),
                    row.b.empty() ? "—" : text(b), Marked(a) || Marked(b),
                    (a && a->stale) || (b && b->stale)});
  }
  // The other functions' items, each in its channel's column.
  for (const settings::Setting& setting : known_.All()) {
    if (InChannelRows(setting)) continue;
    const QString name = QString::fromStdString(setting.function + ":" + setting.item);
    const bool b = setting.function == "CHB" || setting.function == "BBURST";
    rows.push_back({name, b ? QString() : text(&setting), b ? text(&setting) : QString(),
                    Marked(&setting), setting.stale});
  }
  rows.push_back({TextIn(OwnText::ViewLimits, language_), LimitsText(limitsShown_.a, language_),
                  LimitsText(limitsShown_.b, language_)});

  table_->setRowCount(static_cast<int>(rows.size()));
  cells_->Show(known_, language_);  // its switches and choices first: they show their own text
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    const Row& row = rows[static_cast<std::size_t>(r)];
    const QString cells[] = {row.name, row.a, row.b};
    for (int column = 0; column < 3; ++column) {
      // Kept, not made anew, so that a cell being edited keeps its editor.
      QTableWidgetItem* item = table_->item(r, column);
      if (!item) {
        item = new QTableWidgetItem;
        table_->setItem(r, column, item);
      }
      item->setText(table_->cellWidget(r, column) ? QString() : cells[column]);
      item->setToolTip(cells[column]);
      QFont font = table_->font();
      font.setBold(row.differs);  // marked by the font, which every palette shows
      item->setFont(font);
      // Kept for what it was, greyed as the palette greys what does not count.
      item->setForeground(table_->palette().brush(
          row.stale && column > 0 ? QPalette::Disabled : QPalette::Active, QPalette::Text));
    }
  }
  for (FunctionForm* form : forms_) form->Show(known_, language_);
  preview_->Show(settings::OutputOf(known_, 'A'), settings::OutputOf(known_, 'B'));
  preview_->ShowSweeps(settings::PlanOf(known_, "FSWP"), settings::PlanOf(known_, "ASWP"));
}

}  // namespace zrt::window
