// The window's fonts: a CJK-capable sans font at the character heights and
// weights the window is designed for.
#pragma once

#include <QFont>
#include <QString>

#include "window/layout_table.h"

namespace zrt::window {

QFont FontFor(FontRole role);

// The family of the font built into the program: a subset of the installed
// CJK font holding the window's own characters, which renders them with the
// same pixels while start-up reads far less of the font. Registered with the
// font database on first use; empty when the program carries none. FontFor
// puts it first, ahead of the installed families that serve other text.
QString EmbeddedFamily();

}  // namespace zrt::window
