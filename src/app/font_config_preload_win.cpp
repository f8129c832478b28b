// Windows has its fonts loaded by the system: nothing to do ahead.
#include "app/font_config_preload.h"

namespace zrt::app {

FontConfigPreload::FontConfigPreload() = default;

void FontConfigPreload::Wait() {}

}  // namespace zrt::app
