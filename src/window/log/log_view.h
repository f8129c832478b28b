// A read-only view of a long list of one-line rows (the session log): it
// draws only the rows in sight, so that a row added costs the same at
// 100 000 rows as at ten. Rows are selected as a range (click, Shift+click,
// drag, the arrow and page keys, Select all) and copied as lines. While the
// last row is in sight the view follows new rows; scrolled back, it keeps
// its rows in sight even as the oldest are dropped. The scroll bars follow
// a few times a second while rows pour in: drawing them costs ten times
// what a row does.
#pragma once

#include <QAbstractScrollArea>

class QAbstractItemModel;
class QAction;
class QTimer;

namespace zrt::window {
class LogViewAccessible;
}

namespace zrt::window {

class LogView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit LogView(QWidget* parent = nullptr);
  ~LogView() override;

  void SetModel(QAbstractItemModel* model);
  // The selected rows as text, one line each; empty when none is selected.
  QString SelectedText() const;
  void SelectAll();
  // The first and last selected rows, or {-1, -1}.
  std::pair<int, int> Selection() const;
  int FirstVisibleRow() const;
  // Selects that row alone (clamped to the rows there are) and brings it
  // into sight; the row under the cursor, or -1.
  void SelectRow(int row) { MoveCursorTo(row, false); }
  int CurrentRow() const { return cursor_; }
  bool Following() const;
  void SetActionTexts(const QString& copy, const QString& selectAll);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  friend class LogViewAccessible;
  friend class LogRowAccessible;
  // Tells assistive technologies that rows came or went.
  void Announce(int first, int last, bool added);

  int RowCount() const;
  int RowHeight() const;
  int RowsInSight() const;
  int RowAt(int y) const;
  int LastTop() const;
  // Shows rows from `top` on, moving the pixels already drawn.
  void ScrollTo(int top);
  // The scroll bars told where the view stands: at once, or (`soon`) at
  // most a few times a second.
  void SyncScrollBars(bool soon = false);
  QString RowText(int row) const;
  void RowsAdded(int first, int last);
  void RowsDropped(int first, int last);
  void Reset();
  // Moves the cursor row (extending the selection from the anchor when
  // `extend`) and brings it into sight.
  void MoveCursorTo(int row, bool extend);
  void CopySelection() const;

  QAbstractItemModel* model_ = nullptr;
  int anchor_ = -1;
  int cursor_ = -1;
  int widestChars_ = 0;
  int top_ = 0;          // the first row shown
  int rowsInSight_ = 1;  // as the view was last laid out
  bool syncing_ = false;
  bool syncPending_ = false;
  QAction* copy_;
  QAction* selectAll_;
  QTimer* syncLater_;
  LogViewAccessible* accessible_ = nullptr;  // while assistive technology has asked
};

}  // namespace zrt::window
