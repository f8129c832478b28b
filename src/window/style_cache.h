// Start-up help for the style the window is drawn with.
#pragma once

class QStyle;

namespace zrt::window {

// Fusion draws a group box's frame from a PNG of Qt's resources that it names
// without a format; Qt's image reader then loads every image-format plugin to
// ask whether the file is theirs, which costs the first paint a few
// milliseconds and a few hundred kilobytes. This reads the frame as PNG and
// puts it in the pixmap cache under the key the style looks it up by. Other
// styles are left alone; should Qt's key ever change, the style reads the
// file itself as before.
void PrimeGroupBoxFrame(const QStyle* style);

}  // namespace zrt::window
