#include "window/log/log_area.h"

#include <QCheckBox>
#include <QDropEvent>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>

#include "window/form/layout_table.h"
#include "window/form/own_texts.h"
#include "window/log/log_file.h"
#include "window/log/log_panel.h"
#include "window/log/session_log.h"

namespace zrt::window {

LogArea::LogArea(QWidget& window, std::function<Language()> language)
    : QObject(&window),
      window_(window),
      language_(std::move(language)),
      log_(new SessionLog(SessionLog::kDefaultCapacity, this)),
      file_(new LogFile(LogFile::DefaultFolder(), this)),
      toggle_(new QPushButton(&window)) {
  connect(log_, &SessionLog::Adding, file_, &LogFile::Write);
  toggle_->setObjectName("LogToggle");
  toggle_->setCheckable(true);
  toggle_->setFlat(true);
  connect(toggle_, &QPushButton::toggled, this, &LogArea::ShowArea);
  auto* key = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_L), &window);
  connect(key, &QShortcut::activated, this, [this] { SetShown(!Shown()); });
  auto* viewKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_I), &window);
  connect(viewKey, &QShortcut::activated, this, [this] { SetViewShown(!ViewShown()); });
  window.setAcceptDrops(true);
  window.installEventFilter(this);
}

bool LogArea::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::DragEnter && event->type() != QEvent::Drop) {
    return QObject::eventFilter(watched, event);
  }
  auto* drop = static_cast<QDropEvent*>(event);  // a drag's entry is one, too
  const QList<QUrl> urls = drop->mimeData()->urls();
  if (urls.size() != 1 || !urls[0].isLocalFile()) return false;
  drop->acceptProposedAction();
  if (event->type() == QEvent::Drop) emit FileDropped(urls[0].toLocalFile());
  return true;
}

void LogArea::EnsureArea() {
  if (area_) return;
  area_ = new QWidget(&window_);
  area_->setObjectName("BelowArea");
  tabs_ = new QTabBar(area_);
  tabs_->setObjectName("AreaTabs");
  tabs_->setDrawBase(false);
  tabs_->setExpanding(false);
  tabs_->addTab(TextIn(OwnText::LogToggle, language_()));
  tabs_->addTab(TextIn(OwnText::InstrumentToggle, language_()));
  pages_ = new QStackedWidget(area_);
  auto* layout = new QVBoxLayout(area_);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(tabs_);
  layout->addWidget(pages_, 1);
  connect(tabs_, &QTabBar::currentChanged, this,
          [this](int index) { ShowPage(index == 0 ? Page::Log : Page::View); });
  area_->hide();
}

LogPanel& LogArea::Panel() {
  if (panel_) return *panel_;
  EnsureArea();
  panel_ = new LogPanel(*log_, pages_);
  pages_->insertWidget(0, panel_);
  panel_->LogToFileSwitch()->setChecked(file_->On());
  connect(panel_->LogToFileSwitch(), &QCheckBox::toggled, this, &LogArea::SetToFile);
  panel_->ApplyLanguage(language_());
  if (fill_) fill_(*panel_);
  return *panel_;
}

bool LogArea::ToFile() const { return file_->On(); }

void LogArea::SetToFile(bool on) {
  if (panel_ && panel_->LogToFileSwitch()->isChecked() != on) {
    panel_->LogToFileSwitch()->setChecked(on);  // comes back here
  }
  if (file_->On() == on) return;
  file_->SetOn(on);
  emit ToFileChanged(on);
}

void LogArea::SetShown(bool shown) {
  if (shown) return ShowPage(Page::Log);
  if (Shown()) ShowArea(false);
}

void LogArea::SetViewShown(bool shown) {
  if (shown) return ShowPage(Page::View);
  if (ViewShown()) ShowArea(false);
}

void LogArea::ShowPage(Page page) {
  const bool changed = page_ != page;
  page_ = page;
  EnsureArea();
  if (page == Page::Log) Panel();
  if (page == Page::View && !view_ && makeView_) {
    view_ = makeView_();
    pages_->addWidget(view_);
  }
  if (QWidget* shown = page == Page::Log ? static_cast<QWidget*>(panel_) : view_) {
    pages_->setCurrentWidget(shown);
  }
  const QSignalBlocker quiet(tabs_);
  tabs_->setCurrentIndex(page == Page::Log ? 0 : 1);
  if (!shown_) return ShowArea(true);
  if (!changed) return;
  window_.resize(window_.width(), kClientHeight + HeightShown());
  KeepOnScreen();
  emit LayoutChanged();
}

void LogArea::KeepOnScreen() {
  const QScreen* screen = window_.screen();
  if (!screen) return;
  const QRect room = screen->availableGeometry();
  const int frame = window_.frameGeometry().height() - window_.geometry().height();
  const int below = window_.pos().y() + frame + window_.height() - (room.y() + room.height());
  if (below > 0) window_.move(window_.pos().x(), std::max(room.y(), window_.pos().y() - below));
}

int LogArea::HeightShown() const {
  const int given = Height(page_);
  if (given > 0 || page_ != Page::View || !view_) return std::max(given, kMinHeight);
  int wanted = tabs_->sizeHint().height() + view_->sizeHint().height();
  // The whole window on the screen it stands on, with its frame (it moves
  // up to show it: KeepOnScreen).
  if (const QScreen* screen = window_.screen()) {
    const int frame = window_.frameGeometry().height() - window_.height();
    wanted = std::min(wanted, screen->availableGeometry().height() - frame - kClientHeight);
  }
  // A screen too low for it still gets the log's first height: it scrolls.
  return std::max(wanted, kFirstHeight);
}

void LogArea::ShowArea(bool shown) {
  if (toggle_->isChecked() != shown) toggle_->setChecked(shown);  // comes back here
  if (shown_ == shown) return;
  if (shown && !area_) return ShowPage(page_);  // made with its page first
  shown_ = shown;
  area_->setVisible(shown);
  if (shown) {
    const int height = HeightShown();  // the size limits below may resize the window first
    // The log may be made wider as well as taller; the original area stays.
    window_.setMinimumSize(kClientWidth, kClientHeight + kMinHeight);
    window_.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    window_.resize(kClientWidth, kClientHeight + height);
    KeepOnScreen();
    WindowResized();
  } else {
    window_.setFixedSize(kClientWidth, kClientHeight);
  }
  emit LayoutChanged();
}

void LogArea::SetHeight(Page page, int height) {
  heights_[static_cast<int>(page)] = std::max(height, kMinHeight);
  if (shown_ && page == page_) window_.resize(window_.width(), kClientHeight + HeightShown());
  emit LayoutChanged();
}

void LogArea::WindowResized() {
  if (!shown_) return;
  heights_[static_cast<int>(page_)] = std::max(window_.height() - kClientHeight, kMinHeight);
  area_->setGeometry(0, kClientHeight, window_.width(), window_.height() - kClientHeight);
  emit LayoutChanged();
}

void LogArea::ApplyLanguage(Language language) {
  toggle_->setText(TextIn(OwnText::LogToggle, language));
  if (tabs_) {
    tabs_->setTabText(0, TextIn(OwnText::LogToggle, language));
    tabs_->setTabText(1, TextIn(OwnText::InstrumentToggle, language));
  }
  if (panel_) panel_->ApplyLanguage(language);
}

}  // namespace zrt::window
