// Pictures the window draws itself, so the program ships no image files.
#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>

namespace zrt::window {

// A computer monitor with a blue screen standing in front of a small
// application window; drawn for 16, 32, 48 and 64 pixels.
QIcon WindowIcon();
// The same picture at any size, drawn without a display (for the icon
// theme's files, which the build renders).
QImage WindowIconImage(int size);

// The port-open indicator: two 16 x 16 check marks side by side on purple,
// the left red with a black edge, the right grey with a white edge (32 x 16).
QPixmap CheckMarkBitmap();

}  // namespace zrt::window
