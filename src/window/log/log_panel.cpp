#include "window/log/log_panel.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>

#include "window/form/own_texts.h"
#include "window/log/log_file.h"
#include "window/log/log_filter.h"
#include "window/log/log_view.h"

namespace zrt::window {

LogPanel::LogPanel(SessionLog& log, QWidget* parent)
    : QWidget(parent),
      log_(log),
      view_(new LogView(this)),
      hex_(new QPushButton(this)),
      clear_(new QPushButton(this)),
      save_(new QPushButton(this)),
      toFile_(new QCheckBox(this)),
      search_(new QLineEdit(this)),
      matches_(new QLabel(this)),
      filter_(new LogFilter(log, this)),
      dropped_(new QLabel(this)),
      droppedLater_(new QTimer(this)) {
  setObjectName("LogPanel");
  view_->setObjectName("LogView");
  view_->SetModel(&log_);
  view_->setFont(QFont("monospace", 9));
  hex_->setCheckable(true);
  toFile_->setObjectName("LogToFile");
  search_->setObjectName("LogSearch");
  search_->setClearButtonEnabled(true);
  search_->installEventFilter(this);
  matches_->setObjectName("LogMatches");

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(hex_);
  buttons->addWidget(clear_);
  buttons->addWidget(save_);
  buttons->addWidget(toFile_);
  buttons->addWidget(search_, 1);
  buttons->addWidget(matches_);
  buttons->addWidget(dropped_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 2, 4, 4);
  layout->setSpacing(2);
  layout->addLayout(buttons);
  layout->addWidget(view_, 1);

  connect(hex_, &QPushButton::toggled, this,
          [this](bool hex) { log_.SetView(hex ? SessionLog::View::Hex : SessionLog::View::Text); });
  connect(clear_, &QPushButton::clicked, &log_, &SessionLog::Clear);
  connect(save_, &QPushButton::clicked, this, &LogPanel::AskWhereToSave);
  // A full log drops an entry with every one added: the count is said a few
  // times a second, not relaid out with each.
  droppedLater_->setSingleShot(true);
  droppedLater_->setInterval(250);
  connect(droppedLater_, &QTimer::timeout, this, &LogPanel::ShowDropped);
  connect(&log_, &QAbstractItemModel::rowsRemoved, this, [this] {
    if (!droppedLater_->isActive()) droppedLater_->start();
  });
  connect(&log_, &QAbstractItemModel::modelReset, this, &LogPanel::ShowDropped);
  connect(search_, &QLineEdit::textChanged, this, &LogPanel::Filter);
  for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved}) {
    connect(filter_, signal, this, &LogPanel::ShowMatches);
  }
  connect(filter_, &QAbstractItemModel::modelReset, this, &LogPanel::ShowMatches);
  // F3 and Shift+F3 wherever the focus is in the panel.
  for (const bool backwards : {false, true}) {
    auto* key = new QShortcut(
        backwards ? QKeySequence(Qt::SHIFT | Qt::Key_F3) : QKeySequence(Qt::Key_F3), this);
    key->setContext(Qt::WidgetWithChildrenShortcut);
    connect(key, &QShortcut::activated, this, [this, backwards] { NextMatch(backwards); });
  }
  ApplyLanguage(language_);
}

void LogPanel::Filter(const QString& text) {
  if (search_->text() != text) search_->setText(text);  // comes back here
  if (filter_->Text() == text && !text.isEmpty()) return;
  // Without a filter the view reads the log itself: no cost on each entry.
  filter_->SetText(text);
  view_->SetModel(text.isEmpty() ? static_cast<QAbstractItemModel*>(&log_) : filter_);
  ShowMatches();
}

void LogPanel::ShowMatches() {
  matches_->setText(
      filter_->Text().isEmpty()
          ? QString()
          : TextIn(OwnText::LogMatches, language_).arg(filter_->rowCount()).arg(log_.Size()));
}

void LogPanel::NextMatch(bool backwards) {
  const int current = view_->CurrentRow();
  const int rows = filter_->rowCount();
  if (filter_->Text().isEmpty() || rows == 0) return;
  // From the first (or last) one when none is selected yet, and round.
  const int next =
      current < 0 ? (backwards ? rows - 1 : 0) : (current + (backwards ? rows - 1 : 1)) % rows;
  view_->SelectRow(next);
}

bool LogPanel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == search_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      NextMatch(key->modifiers().testFlag(Qt::ShiftModifier));
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void LogPanel::AddRow(QWidget* row) {
  auto* rows = qobject_cast<QVBoxLayout*>(layout());
  rows->insertWidget(rows->count() - 1, row);
}

void LogPanel::ApplyLanguage(Language language) {
  language_ = language;
  hex_->setText(TextIn(OwnText::LogHex, language));
  clear_->setText(TextIn(OwnText::LogClear, language));
  save_->setText(TextIn(OwnText::LogSave, language));
  toFile_->setText(TextIn(OwnText::LogToFile, language));
  toFile_->setToolTip(LogFile::DefaultFolder());
  search_->setPlaceholderText(TextIn(OwnText::LogSearch, language));
  ShowMatches();
  view_->SetActionTexts(TextIn(OwnText::LogCopy, language),
                        TextIn(OwnText::LogSelectAll, language));
  log_.SetAsTypedNote(TextIn(OwnText::SentAsTyped, language));
  ShowDropped();
}

void LogPanel::ShowDropped() {
  dropped_->setText(
      log_.Dropped() == 0 ? QString() : TextIn(OwnText::LogDropped, language_).arg(log_.Dropped()));
}

bool LogPanel::SaveTo(const QString& path) const {
  // Written whole or not at all.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  const bool written =
      path.endsWith(".csv", Qt::CaseInsensitive) ? log_.SaveCsv(file) : log_.SaveText(file);
  return written && file.commit();
}

void LogPanel::AskWhereToSave() {
  const QString path =
      QFileDialog::getSaveFileName(this, TextIn(OwnText::LogSave, language_), "zrt-panel-log.txt",
                                   TextIn(OwnText::LogFilter, language_));
  if (!path.isEmpty()) SaveTo(path);
}

}  // namespace zrt::window
