#include "app/font_config_preload.h"

#include <fontconfig/fontconfig.h>
#include <malloc.h>

namespace zrt::app {

FontConfigPreload::FontConfigPreload() : thread_([] { FcInit(); }) {}

void FontConfigPreload::Wait() {
  if (thread_.joinable()) thread_.join();
  // Parsing left its scratch in the thread's own malloc arena, pages that
  // nothing uses again: give them back.
  malloc_trim(0);
}

}  // namespace zrt::app
