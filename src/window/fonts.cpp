#include "window/fonts.h"

#include <QFontDatabase>
#include <QResource>
#include <QStringList>

namespace zrt::window {
namespace {

QFont SansFont(int pixelSize, bool bold) {
  QFont font;
  // The first family that is installed wins; all of them carry CJK glyphs.
  QStringList families{"WenQuanYi Micro Hei", "Noto Sans CJK SC", "Droid Sans Fallback",
                       "sans-serif"};
  if (const QString embedded = EmbeddedFamily(); !embedded.isEmpty()) {
    families.prepend(embedded);
  }
  font.setFamilies(families);
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  return font;
}

}  // namespace

QString EmbeddedFamily() {
  static const QString family = [] {
    // Stored uncompressed, so the font database reads it in place.
    const QResource resource(":/fonts/panel-sans.ttf");
    if (!resource.isValid()) return QString();
    const int id = QFontDatabase::addApplicationFontFromData(resource.uncompressedData());
    return QFontDatabase::applicationFontFamilies(id).value(0);
  }();
  return family;
}

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
