// What assistive technologies (AT-SPI, UI Automation) see of the log view:
// a list whose items are the rows in sight and the newest row, each with
// its text, time included; new rows and dropped ones are announced as a
// list view announces them.
#pragma once

#include <QAccessibleWidget>
#include <map>
#include <vector>

namespace zrt::window {

class LogView;

class LogViewAccessible : public QAccessibleWidget {
 public:
  explicit LogViewAccessible(LogView* view);
  ~LogViewAccessible() override;

  int childCount() const override;
  QAccessibleInterface* child(int index) const override;
  int indexOfChild(const QAccessibleInterface* child) const override;
  QAccessibleInterface* childAt(int x, int y) const override;

  // Rows were dropped from the front: what was said of them is no more.
  void Forget();
  // The view is going: nothing more is asked of it.
  void Detach();
  // Installs the factory that gives each LogView this interface; once.
  static void Install();

 private:
  std::vector<int> Exposed() const;

  LogView* view_;  // until it goes; the widget() Qt keeps is a QWidget by then

  mutable std::map<int, QAccessible::Id> rows_;  // row -> its interface
};

}  // namespace zrt::window
