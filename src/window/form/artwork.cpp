#include "window/form/artwork.h"

#include <QPainter>
#include <QPainterPath>

namespace zrt::window {

// Drawn on a 32-unit grid and scaled to the requested size.
QImage WindowIconImage(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, size > 32);
  p.scale(size / 32.0, size / 32.0);

  // The application window behind the monitor.
  p.setPen(QPen(QColor(64, 64, 64), 1));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(12.5, 1.5, 18, 16));
  p.fillRect(QRectF(13, 2, 17, 4), QColor(0, 0, 128));
  p.fillRect(QRectF(27, 3, 2, 2), QColor(192, 192, 192));

  // The monitor: bezel, blue screen, neck and foot.
  p.setPen(QPen(Qt::black, 1));
  p.setBrush(QColor(192, 192, 192));
  p.drawRect(QRectF(1.5, 8.5, 23, 18));
  QLinearGradient screen(0, 11, 0, 23);
  screen.setColorAt(0, QColor(64, 96, 255));
  screen.setColorAt(1, QColor(0, 0, 160));
  p.setPen(QPen(QColor(96, 96, 96), 1));
  p.setBrush(screen);
  p.drawRect(QRectF(4.5, 11.5, 17, 12));
  p.fillRect(QRectF(10, 27, 6, 2), QColor(128, 128, 128));
  p.setPen(QPen(Qt::black, 1));
  p.setBrush(QColor(160, 160, 160));
  p.drawRect(QRectF(6.5, 28.5, 13, 2));
  p.end();
  return image;
}

namespace {

void DrawCheck(QPainter& p, int originX, const QColor& fill, const QColor& edge) {
  QPainterPath tick;
  tick.moveTo(originX + 3, 8);
  tick.lineTo(originX + 6, 11);
  tick.lineTo(originX + 12, 4);
  p.strokePath(tick, QPen(edge, 4, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
  p.strokePath(tick, QPen(fill, 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
}

}  // namespace

QIcon WindowIcon() {
  QIcon icon;
  for (int size : {16, 32, 48, 64}) icon.addPixmap(QPixmap::fromImage(WindowIconImage(size)));
  return icon;
}

QPixmap CheckMarkBitmap() {
  QPixmap pixmap(32, 16);
  pixmap.fill(QColor(128, 0, 128));
  QPainter p(&pixmap);
  DrawCheck(p, 0, QColor(255, 0, 0), Qt::black);
  DrawCheck(p, 16, QColor(128, 128, 128), Qt::white);
  return pixmap;
}

}  // namespace zrt::window
