// Loads the system's font configuration on a thread of its own.
#pragma once

#include <thread>

namespace zrt::app {

// Reading the font configuration (a few milliseconds of parsing) is most of
// what the window's first font costs. Started before the application
// connects to the display, it is done on the other core by the time the
// window is built; Qt's font database then finds it loaded.
class FontConfigPreload {
 public:
  FontConfigPreload();

  // Returns once the configuration is loaded, its scratch memory given back.
  void Wait();

 private:
  std::jthread thread_;
};

}  // namespace zrt::app
