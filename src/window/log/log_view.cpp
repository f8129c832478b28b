#include "window/log/log_view.h"

#include <QAbstractItemModel>
#include <QAccessible>
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStringList>
#include <QTimer>
#include <algorithm>

#include "window/log/log_view_accessible.h"

namespace zrt::window {
namespace {

constexpr int kMargin = 3;
// Lines longer than this are drawn from the first character in sight on,
// so that a block of a megabyte costs what a short one does.
constexpr int kLongLine = 512;
constexpr int kScrollBarPeriodMs = 100;

}  // namespace

LogView::LogView(QWidget* parent)
    : QAbstractScrollArea(parent),
      copy_(new QAction(this)),
      selectAll_(new QAction(this)),
      syncLater_(new QTimer(this)) {
  LogViewAccessible::Install();
  setFocusPolicy(Qt::StrongFocus);
  syncLater_->setSingleShot(true);
  syncLater_->setInterval(kScrollBarPeriodMs);
  connect(syncLater_, &QTimer::timeout, this, [this] {
    if (syncPending_) SyncScrollBars();
  });
  verticalScrollBar()->setSingleStep(1);
  copy_->setShortcut(QKeySequence::Copy);
  selectAll_->setShortcut(QKeySequence::SelectAll);
  for (QAction* action : {copy_, selectAll_}) {
    action->setShortcutContext(Qt::WidgetShortcut);
    addAction(action);
  }
  connect(copy_, &QAction::triggered, this, &LogView::CopySelection);
  connect(selectAll_, &QAction::triggered, this, &LogView::SelectAll);
  setContextMenuPolicy(Qt::ActionsContextMenu);
}

void LogView::SetActionTexts(const QString& copy, const QString& selectAll) {
  copy_->setText(copy);
  selectAll_->setText(selectAll);
}

void LogView::SetModel(QAbstractItemModel* model) {
  if (model_) model_->disconnect(this);
  model_ = model;
  if (model_) {
    connect(model_, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { RowsAdded(first, last); });
    connect(model_, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex&, int first, int last) { RowsDropped(first, last); });
    connect(model_, &QAbstractItemModel::modelReset, this, &LogView::Reset);
    connect(model_, &QAbstractItemModel::layoutChanged, this, &LogView::Reset);
    connect(model_, &QAbstractItemModel::dataChanged, viewport(), qOverload<>(&QWidget::update));
  }
  Reset();
}

int LogView::RowCount() const { return model_ ? model_->rowCount() : 0; }
int LogView::RowHeight() const { return fontMetrics().lineSpacing(); }
int LogView::RowsInSight() const { return std::max(1, viewport()->height() / RowHeight()); }
int LogView::FirstVisibleRow() const { return top_; }
int LogView::LastTop() const { return std::max(0, RowCount() - RowsInSight()); }
bool LogView::Following() const { return top_ >= LastTop(); }

int LogView::RowAt(int y) const {
  const int row = FirstVisibleRow() + (y < 0 ? -1 : y / RowHeight());
  return std::clamp(row, 0, std::max(0, RowCount() - 1));
}

LogView::~LogView() {
  if (accessible_) accessible_->Detach();
}

QString LogView::RowText(int row) const { return model_->data(model_->index(row, 0)).toString(); }

std::pair<int, int> LogView::Selection() const {
  if (anchor_ < 0) return {-1, -1};
  return std::minmax(anchor_, cursor_);
}

void LogView::SyncScrollBars(bool soon) {
  if (soon && syncLater_->isActive()) {
    syncPending_ = true;
    return;
  }
  syncPending_ = false;
  syncing_ = true;
  QScrollBar* vertical = verticalScrollBar();
  vertical->setPageStep(RowsInSight());
  vertical->setRange(0, LastTop());
  vertical->setValue(top_);
  const int wide = widestChars_ * fontMetrics().horizontalAdvance(QLatin1Char('0')) + 2 * kMargin;
  horizontalScrollBar()->setPageStep(viewport()->width());
  horizontalScrollBar()->setRange(0, std::max(0, wide - viewport()->width()));
  syncing_ = false;
  syncLater_->start();
}

void LogView::ScrollTo(int top) {
  top = std::clamp(top, 0, LastTop());
  const int rows = top_ - top;
  top_ = top;
  if (rows == 0) return;
  if (std::abs(rows) < RowsInSight()) {
    viewport()->scroll(0, rows * RowHeight());
  } else {
    viewport()->update();
  }
}

void LogView::RowsAdded(int first, int last) {
  const int count = last - first + 1;
  const bool following = top_ >= std::max(0, RowCount() - count - RowsInSight());
  if (anchor_ >= first) anchor_ += count;
  if (cursor_ >= first) cursor_ += count;
  if (top_ > first || (top_ == first && !following)) top_ += count;
  // A burst of rows is measured by its last few only.
  for (int row = std::max(first, last - 16); row <= last; ++row) {
    widestChars_ = std::max(widestChars_, static_cast<int>(RowText(row).size()));
  }
  // Following, the rows above move up (the viewport scrolls its pixels)
  // and only the new rows are drawn.
  if (following) ScrollTo(LastTop());
  const int y = (first - top_) * RowHeight();
  if (y < viewport()->height()) {
    viewport()->update(0, std::max(0, y), viewport()->width(), viewport()->height());
  }
  SyncScrollBars(true);
  Announce(first, last, true);
}

void LogView::Announce(int first, int last, bool added) {
  if (!QAccessible::isActive()) return;
  QAccessibleTableModelChangeEvent event(this, added
                                                   ? QAccessibleTableModelChangeEvent::RowsInserted
                                                   : QAccessibleTableModelChangeEvent::RowsRemoved);
  event.setFirstRow(first);
  event.setLastRow(last);
  QAccessible::updateAccessibility(&event);
}

void LogView::RowsDropped(int first, int last) {
  const int count = last - first + 1;
  auto shift = [&](int& row) {
    if (row > last) {
      row -= count;
    } else if (row >= first) {
      row = first;
    }
  };
  // A selection wholly dropped is gone; one partly dropped keeps the rest.
  if (const auto [from, to] = Selection(); from >= first && to <= last) {
    anchor_ = cursor_ = -1;
  } else {
    shift(anchor_);
    shift(cursor_);
  }
  // The same rows stay in sight, and no pixel changes, unless a dropped row
  // was shown.
  const bool shown = last >= top_ && first < top_ + RowsInSight();
  shift(top_);
  top_ = std::min(top_, LastTop());
  if (shown) viewport()->update();
  SyncScrollBars(true);
  if (accessible_) accessible_->Forget();  // the rows after moved up
  Announce(first, last, false);
}

void LogView::Reset() {
  if (accessible_) accessible_->Forget();
  anchor_ = cursor_ = -1;
  widestChars_ = 0;
  rowsInSight_ = RowsInSight();
  for (int row = std::max(0, RowCount() - 16); row < RowCount(); ++row) {
    widestChars_ = std::max(widestChars_, static_cast<int>(RowText(row).size()));
  }
  top_ = LastTop();
  SyncScrollBars();
  viewport()->update();
}

// The operator moved a scroll bar (the view's own moves are made while
// syncing_): the view goes where the bar says.
void LogView::scrollContentsBy(int dx, int dy) {
  if (syncing_) return;
  if (dx != 0) viewport()->scroll(dx, 0);
  if (dy != 0) ScrollTo(verticalScrollBar()->value());
}

void LogView::resizeEvent(QResizeEvent* event) {
  // Whether it followed as it was laid out before: the viewport has its
  // new height already.
  const bool following = top_ >= std::max(0, RowCount() - rowsInSight_);
  QAbstractScrollArea::resizeEvent(event);
  rowsInSight_ = RowsInSight();
  top_ = following ? LastTop() : std::min(top_, LastTop());
  SyncScrollBars();
}

void LogView::changeEvent(QEvent* event) {
  QAbstractScrollArea::changeEvent(event);
  if (event->type() == QEvent::FontChange) SyncScrollBars();
}

void LogView::wheelEvent(QWheelEvent* event) {
  if (syncPending_) SyncScrollBars();
  QAbstractScrollArea::wheelEvent(event);
}

void LogView::paintEvent(QPaintEvent* event) {
  if (!model_) return;
  QPainter painter(viewport());
  const int height = RowHeight();
  const int charWidth = fontMetrics().horizontalAdvance(QLatin1Char('0'));
  const int left = kMargin - horizontalScrollBar()->value();
  const int visibleChars = viewport()->width() / std::max(1, charWidth) + 2;
  const auto [selectedFrom, selectedTo] = Selection();
  const QRect area = event->rect();
  const int from = FirstVisibleRow() + area.top() / height;
  const int to = std::min(RowCount() - 1, FirstVisibleRow() + area.bottom() / height);
  int widest = widestChars_;
  for (int row = from; row <= to; ++row) {
    const QRect rect(0, (row - FirstVisibleRow()) * height, viewport()->width(), height);
    const bool selected = row >= selectedFrom && row <= selectedTo;
    if (selected) painter.fillRect(rect, palette().highlight());
    painter.setPen(palette().color(selected ? QPalette::HighlightedText : QPalette::Text));
    QString text = RowText(row);
    widest = std::max(widest, static_cast<int>(text.size()));
    int x = left;
    if (text.size() > kLongLine) {
      const int skipped = std::max(0, -left / std::max(1, charWidth));
      text = text.mid(skipped, visibleChars);
      x += skipped * charWidth;
    }
    painter.drawText(QRect(x, rect.top(), std::max(0, rect.right() - x), height),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, text);
  }
  // A row wider than any seen before (the hex view, say) widens the scroll.
  if (widest != widestChars_) {
    widestChars_ = widest;
    SyncScrollBars(true);
  }
}

void LogView::MoveCursorTo(int row, bool extend) {
  if (RowCount() == 0) return;
  row = std::clamp(row, 0, RowCount() - 1);
  cursor_ = row;
  if (!extend || anchor_ < 0) anchor_ = row;
  if (row < top_) {
    ScrollTo(row);
  } else if (row >= top_ + RowsInSight()) {
    ScrollTo(row - RowsInSight() + 1);
  }
  SyncScrollBars();
  viewport()->update();
}

void LogView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mousePressEvent(event);
  MoveCursorTo(RowAt(event->position().toPoint().y()),
               event->modifiers().testFlag(Qt::ShiftModifier));
}

void LogView::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton)) return;
  MoveCursorTo(RowAt(event->position().toPoint().y()), true);
}

void LogView::keyPressEvent(QKeyEvent* event) {
  const bool extend = event->modifiers().testFlag(Qt::ShiftModifier);
  const int at = cursor_ < 0 ? FirstVisibleRow() : cursor_;
  switch (event->key()) {
    case Qt::Key_Up:
      return MoveCursorTo(at - 1, extend);
    case Qt::Key_Down:
      return MoveCursorTo(at + 1, extend);
    case Qt::Key_PageUp:
      return MoveCursorTo(at - RowsInSight(), extend);
    case Qt::Key_PageDown:
      return MoveCursorTo(at + RowsInSight(), extend);
    case Qt::Key_Home:
      return MoveCursorTo(0, extend);
    case Qt::Key_End:
      return MoveCursorTo(RowCount() - 1, extend);
    default:
      QAbstractScrollArea::keyPressEvent(event);
  }
}

void LogView::SelectAll() {
  if (RowCount() == 0) return;
  anchor_ = 0;
  cursor_ = RowCount() - 1;
  viewport()->update();
}

QString LogView::SelectedText() const {
  const auto [from, to] = Selection();
  if (from < 0) return {};
  QStringList lines;
  lines.reserve(to - from + 1);
  for (int row = from; row <= to; ++row) lines << RowText(row);
  return lines.join('\n');
}

void LogView::CopySelection() const {
  if (const QString text = SelectedText(); !text.isEmpty()) {
    QGuiApplication::clipboard()->setText(text);
  }
}

}  // namespace zrt::window
