// The window's fonts: a CJK-capable sans font at the character heights and
// weights the window is designed for.
#pragma once

#include <QFont>

#include "window/form/layout_table.h"

namespace zrt::window {

QFont FontFor(FontRole role);

}  // namespace zrt::window
