#include "window/form/image_view.h"

#include <QPainter>

namespace zrt::window {

void ImageView::SetPixmap(const QPixmap& pixmap) {
  pixmap_ = pixmap;
  update();
}

void ImageView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawPixmap(0, 0, pixmap_);
}

}  // namespace zrt::window
