#include "window/log_panel.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QTimer>
#include <QVBoxLayout>

#include "window/log_view.h"
#include "window/own_texts.h"

namespace zrt::window {

LogPanel::LogPanel(SessionLog& log, QWidget* parent)
    : QWidget(parent),
      log_(log),
      view_(new LogView(this)),
      hex_(new QPushButton(this)),
      clear_(new QPushButton(this)),
      save_(new QPushButton(this)),
      dropped_(new QLabel(this)),
      droppedLater_(new QTimer(this)) {
  setObjectName("LogPanel");
  view_->setObjectName("LogView");
  view_->SetModel(&log_);
  view_->setFont(QFont("monospace", 9));
  hex_->setCheckable(true);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(hex_);
  buttons->addWidget(clear_);
  buttons->addWidget(save_);
  buttons->addWidget(dropped_, 1);
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
  ApplyLanguage(language_);
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
