#include "window/style_cache.h"

#include <QDateTime>
#include <QFileInfo>
#include <QImageReader>
#include <QPixmap>
#include <QPixmapCache>
#include <QStyle>

namespace zrt::window {
namespace {

constexpr char kGroupBoxFrame[] = ":/qt-project.org/styles/commonstyle/images/fusion_groupbox.png";

// Each byte of the value, low nibble first, as QPixmap's cache keys spell numbers.
template <typename T>
QString KeyDigits(T value) {
  static constexpr char kDigits[] = "0123456789abcdef";
  QString digits;
  const auto* bytes = reinterpret_cast<const unsigned char*>(&value);
  for (std::size_t i = 0; i < sizeof(T); ++i) {
    digits += QLatin1Char(kDigits[bytes[i] & 0xF]);
    digits += QLatin1Char(kDigits[bytes[i] >> 4]);
  }
  return digits;
}

}  // namespace

void PrimeGroupBoxFrame(const QStyle* style) {
  if (style->name() != QLatin1String("fusion")) return;
  const QFileInfo file(kGroupBoxFrame);
  const QString key = "qt_pixmap" + file.absoluteFilePath() +
                      KeyDigits(static_cast<uint>(file.lastModified().toSecsSinceEpoch())) +
                      KeyDigits(static_cast<quint64>(file.size())) +
                      KeyDigits(0u);  // a pixmap, not a bitmap
  QPixmap cached;
  if (QPixmapCache::find(key, &cached)) return;
  QImageReader reader(kGroupBoxFrame, "png");
  reader.setAutoDetectImageFormat(false);  // PNG, without asking the plugins
  const QImage frame = reader.read();
  if (!frame.isNull()) QPixmapCache::insert(key, QPixmap::fromImage(frame));
}

}  // namespace zrt::window
