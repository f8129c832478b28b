// What stands below the window's original area: the session log's panel
// (with the rows its owner adds, the sequence controls), shown and hidden
// by a switch (for the status bar) or Ctrl+L. Shown, it takes the window's
// height beyond the original area, which the operator may change by
// resizing the window; the original area keeps its place and size. The log
// itself, and its copy in a file, exist from the start; the panel only
// once it is first shown, since it costs start-up half a megabyte. A file
// dropped on the window is said (FileDropped) for its owner to load.
//
// The instrument's page takes the same place: a tab beside the log's
// (or Ctrl+I), made when first shown. The switch shows and hides the
// area with the page last chosen; Ctrl+L and Ctrl+I show their own page.
// Each page keeps the height it was last given; the instrument's opens
// first at the height its page asks for, as far as the screen allows.
#pragma once

#include <QObject>
#include <functional>

#include "window/form/caption_table.h"

class QPushButton;
class QStackedWidget;
class QTabBar;

namespace zrt::window {

class LogFile;
class LogPanel;
class SessionLog;

class LogArea : public QObject {
  Q_OBJECT

 public:
  static constexpr int kMinHeight = 80;
  static constexpr int kFirstHeight = 200;  // the log's, until the operator changes it
  enum class Page { Log, View };

  // Below `window`, captioned in the language `language` gives.
  LogArea(QWidget& window, std::function<Language()> language);

  SessionLog& Log() { return *log_; }
  LogFile& File() { return *file_; }
  // The log's panel, made now if it was not; what `fill` adds to it
  // (SetPanelFiller) is there once this returns.
  LogPanel& Panel();
  LogPanel* PanelIfMade() const { return panel_; }  // nullptr until first made
  // Adds the owner's rows to the panel when it is made.
  void SetPanelFiller(std::function<void(LogPanel&)> fill) { fill_ = std::move(fill); }
  QPushButton* Toggle() const { return toggle_; }

  // Whether the log shows.
  bool Shown() const { return shown_ && page_ == Page::Log; }
  void SetShown(bool shown);
  // The instrument's page: what makes it, and whether it shows.
  void SetViewMaker(std::function<QWidget*()> make) { makeView_ = std::move(make); }
  QWidget* View() const { return view_; }  // nullptr until first shown
  bool ViewShown() const { return shown_ && page_ == Page::View; }
  void SetViewShown(bool shown);
  // The height below the original area each page is shown at (the
  // instrument's: 0 until it is given one, then the height it asks for).
  int Height(Page page) const { return heights_[static_cast<int>(page)]; }
  void SetHeight(Page page, int height);
  bool ToFile() const;
  void SetToFile(bool on);

  // The window's size changed: the log takes what is below the original area.
  void WindowResized();
  void ApplyLanguage(Language language);

 signals:
  void LayoutChanged();
  void ToFileChanged(bool on);
  // A file was dropped on the window (a sequence, to be loaded).
  void FileDropped(const QString& path);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The height the page shown is to have.
  int HeightShown() const;
  // Moves the window up as far as its bottom would leave the screen.
  void KeepOnScreen();
  // Shows a page in the area below, or hides the area.
  void ShowPage(Page page);
  void ShowArea(bool shown);
  void EnsureArea();

  QWidget& window_;
  std::function<Language()> language_;
  SessionLog* log_;  // owned as a child object
  LogFile* file_;    // owned as a child object
  QPushButton* toggle_;
  LogPanel* panel_ = nullptr;
  std::function<void(LogPanel&)> fill_;
  QWidget* area_ = nullptr;  // the tabs and the pages, once first shown
  QTabBar* tabs_ = nullptr;
  QStackedWidget* pages_ = nullptr;
  QWidget* view_ = nullptr;
  std::function<QWidget*()> makeView_;
  Page page_ = Page::Log;
  bool shown_ = false;                  // the area below, with page_ in it
  int heights_[2] = {kFirstHeight, 0};  // by Page
};

}  // namespace zrt::window
