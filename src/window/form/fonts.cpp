#include "window/form/fonts.h"

#include <QStringList>

namespace zrt::window {
namespace {

QFont SansFont(int pixelSize, bool bold) {
  QFont font;
  // The first family found installed wins; all of them carry CJK glyphs
  // (Microsoft YaHei is Windows' own), and "sans-serif" leaves the rest to
  // the system.
  font.setFamilies({"WenQuanYi Micro Hei", "Noto Sans CJK SC", "Droid Sans Fallback",
                    "Microsoft YaHei", "sans-serif"});
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  return font;
}

}  // namespace

QFont FontFor(FontRole role) {
  switch (role) {
    case FontRole::BoldLabel:
      return SansFont(13, true);
    case FontRole::LargeEdit:
      return SansFont(16, false);
    case FontRole::BoldButton:
      return SansFont(11, true);
    case FontRole::Window:
      break;
  }
  return SansFont(11, false);
}

}  // namespace zrt::window
