#include "window/log/log_view_accessible.h"

#include <QAbstractItemModel>
#include <QPointer>
#include <algorithm>
#include <mutex>

#include "window/log/log_view.h"

namespace zrt::window {

// One row of the log, known by its place while no row before it is dropped.
class LogRowAccessible : public QAccessibleInterface {
 public:
  LogRowAccessible(LogView* view, int row) : view_(view), row_(row) {}

  bool isValid() const override { return view_ && row_ < view_->RowCount(); }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return view_ ? view_->window()->windowHandle() : nullptr; }
  QAccessibleInterface* parent() const override {
    return QAccessible::queryAccessibleInterface(view_);
  }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QString text(QAccessible::Text t) const override {
    return t == QAccessible::Name && isValid() ? view_->RowText(row_) : QString();
  }
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override {
    if (!isValid()) return {};
    const QWidget* port = view_->viewport();
    const QRect local(0, (row_ - view_->top_) * view_->RowHeight(), port->width(),
                      view_->RowHeight());
    return QRect(port->mapToGlobal(local.topLeft()), local.size());
  }
  QAccessible::Role role() const override { return QAccessible::ListItem; }
  QAccessible::State state() const override {
    QAccessible::State state;
    state.selectable = true;
    const auto [first, last] = view_ ? view_->Selection() : std::pair{-1, -1};
    state.selected = first >= 0 && row_ >= first && row_ <= last;
    state.invisible = !view_ || row_ < view_->top_ || row_ >= view_->top_ + view_->RowsInSight();
    state.readOnly = true;
    return state;
  }

 private:
  QPointer<LogView> view_;
  const int row_;
};

namespace {

QAccessibleInterface* Factory(const QString& className, QObject* object) {
  if (className == QLatin1String(LogView::staticMetaObject.className())) {
    return new LogViewAccessible(static_cast<LogView*>(object));
  }
  return nullptr;
}

}  // namespace

LogViewAccessible::LogViewAccessible(LogView* view)
    : QAccessibleWidget(view, QAccessible::List), view_(view) {
  view->accessible_ = this;
}

LogViewAccessible::~LogViewAccessible() {
  if (view_) view_->accessible_ = nullptr;
  Forget();
}

void LogViewAccessible::Detach() {
  Forget();
  view_ = nullptr;
}

void LogViewAccessible::Install() {
  static std::once_flag installed;
  std::call_once(installed, [] { QAccessible::installFactory(Factory); });
}

// The rows in sight, then the newest if it is not among them.
std::vector<int> LogViewAccessible::Exposed() const {
  const LogView* view = view_;
  std::vector<int> rows;
  if (!view) return rows;
  const int count = view->RowCount();
  const int end = std::min(count, view->top_ + view->RowsInSight());
  for (int row = std::max(0, view->top_); row < end; ++row) rows.push_back(row);
  if (count > 0 && (rows.empty() || rows.back() != count - 1)) rows.push_back(count - 1);
  return rows;
}

int LogViewAccessible::childCount() const { return static_cast<int>(Exposed().size()); }

QAccessibleInterface* LogViewAccessible::child(int index) const {
  const std::vector<int> rows = Exposed();
  if (index < 0 || index >= static_cast<int>(rows.size())) return nullptr;
  const int row = rows[static_cast<std::size_t>(index)];
  if (const auto known = rows_.find(row); known != rows_.end()) {
    return QAccessible::accessibleInterface(known->second);
  }
  auto* item = new LogRowAccessible(view_, row);
  rows_[row] = QAccessible::registerAccessibleInterface(item);
  return item;
}

int LogViewAccessible::indexOfChild(const QAccessibleInterface* child) const {
  for (const auto& [row, id] : rows_) {
    if (QAccessible::accessibleInterface(id) != child) continue;
    const std::vector<int> rows = Exposed();
    const auto at = std::find(rows.begin(), rows.end(), row);
    return at == rows.end() ? -1 : static_cast<int>(at - rows.begin());
  }
  return -1;
}

QAccessibleInterface* LogViewAccessible::childAt(int x, int y) const {
  const LogView* view = view_;
  if (!view) return nullptr;
  const QPoint local = view->viewport()->mapFromGlobal(QPoint(x, y));
  const int row = view->RowAt(local.y());
  const std::vector<int> rows = Exposed();
  const auto at = std::find(rows.begin(), rows.end(), row);
  return at == rows.end() ? nullptr : child(static_cast<int>(at - rows.begin()));
}

void LogViewAccessible::Forget() {
  for (const auto& [row, id] : rows_) QAccessible::deleteAccessibleInterface(id);
  rows_.clear();
}

}  // namespace zrt::window
