// The display that the application object connects to may be named but not
// there: a server that is not running, a Wayland socket gone, a platform
// plugin that does not load. Qt then aborts with a screenful of advice; the
// panel says so in one line and exits with status 1 instead.
#pragma once

#include <QtGlobal>

namespace zrt::app {

// While one exists, Qt's messages are held back; a fatal one ends the
// process with one line on standard error and exit status 1. Once the
// application object stands, Release passes what was held back on.
class DisplayGuard {
 public:
  DisplayGuard();
  ~DisplayGuard();
  DisplayGuard(const DisplayGuard&) = delete;
  DisplayGuard& operator=(const DisplayGuard&) = delete;

  void Release();

 private:
  QtMessageHandler previous_;
  bool released_ = false;
};

}  // namespace zrt::app
