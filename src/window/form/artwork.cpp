#include "window/form/artwork.h"

#include <QIconEngine>
#include <QPainter>
#include <algorithm>

#include "window/form/stroke_outline.h"

namespace zrt::window {
namespace {

// A rectangle drawn as QPainter::drawRect draws it with a one-unit pen: the
// brush over the whole rectangle, then the pen's band along its edge, the
// band's outer corners beveled. A band wider than a pixel is filled rather
// than stroked, which keeps the general stroker out of drawing the icon.
void FramedRect(QPainter& p, const QRectF& rect, const QColor& frame, const QBrush& fill) {
  if (p.transform().m11() <= 1) {  // a pixel or thinner: the painter's thin-line path
    p.setPen(QPen(frame, 1));
    p.setBrush(fill);
    p.drawRect(rect);
    return;
  }
  p.setPen(Qt::NoPen);
  p.setBrush(fill);
  p.drawRect(rect);
  p.fillPath(FrameOutline(rect, 1), frame);
}

// A tick stroked 4 units wide in the edge's colour, then 2 wide in the fill's.
void DrawCheck(QPainter& p, int originX, const QColor& fill, const QColor& edge) {
  const QPolygonF tick{QPointF(originX + 3, 8), QPointF(originX + 6, 11), QPointF(originX + 12, 4)};
  p.setPen(Qt::NoPen);
  p.setBrush(edge);
  p.drawPolygon(StrokeOutline(tick, 4, Qt::MiterJoin), Qt::WindingFill);
  p.setBrush(fill);
  p.drawPolygon(StrokeOutline(tick, 2, Qt::MiterJoin), Qt::WindingFill);
}

// Draws the picture at the size asked for when it is asked for, and keeps
// nothing: a platform that shows no window icons never has it drawn.
class WindowIconEngine : public QIconEngine {
 public:
  void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override {
    painter->drawImage(rect, WindowIconImage(std::min(rect.width(), rect.height())));
  }
  QPixmap pixmap(const QSize& size, QIcon::Mode, QIcon::State) override {
    return QPixmap::fromImage(WindowIconImage(std::max(1, std::min(size.width(), size.height()))));
  }
  QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
    return {{16, 16}, {32, 32}, {48, 48}, {64, 64}};
  }
  QIconEngine* clone() const override { return new WindowIconEngine; }
  QString key() const override { return QStringLiteral("zrt-window-icon"); }
};

}  // namespace

// Drawn on a 32-unit grid and scaled to the requested size.
QImage WindowIconImage(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, size > 32);
  p.scale(size / 32.0, size / 32.0);

  // The application window behind the monitor.
  FramedRect(p, QRectF(12.5, 1.5, 18, 16), QColor(64, 64, 64), Qt::white);
  p.fillRect(QRectF(13, 2, 17, 4), QColor(0, 0, 128));
  p.fillRect(QRectF(27, 3, 2, 2), QColor(192, 192, 192));

  // The monitor: bezel, blue screen, neck and foot.
  FramedRect(p, QRectF(1.5, 8.5, 23, 18), Qt::black, QColor(192, 192, 192));
  QLinearGradient screen(0, 11, 0, 23);
  screen.setColorAt(0, QColor(64, 96, 255));
  screen.setColorAt(1, QColor(0, 0, 160));
  FramedRect(p, QRectF(4.5, 11.5, 17, 12), QColor(96, 96, 96), screen);
  p.fillRect(QRectF(10, 27, 6, 2), QColor(128, 128, 128));
  FramedRect(p, QRectF(6.5, 28.5, 13, 2), Qt::black, QColor(160, 160, 160));
  p.end();
  return image;
}

QIcon WindowIcon() { return QIcon(new WindowIconEngine); }

QPixmap CheckMarkBitmap() {
  QPixmap pixmap(32, 16);
  pixmap.fill(QColor(128, 0, 128));
  QPainter p(&pixmap);
  DrawCheck(p, 0, QColor(255, 0, 0), Qt::black);
  DrawCheck(p, 16, QColor(128, 128, 128), Qt::white);
  return pixmap;
}

}  // namespace zrt::window
