#include "app/font_config_preload.h"

#include <fontconfig/fontconfig.h>

namespace zrt::app {

FontConfigPreload::FontConfigPreload() : thread_([] { FcInit(); }) {}

void FontConfigPreload::Wait() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace zrt::app
