// Shows a bitmap at the top-left of its frame, clipped by the frame, and
// unchanged when the control is disabled (unlike QLabel, which greys it).
#pragma once

#include <QPixmap>
#include <QWidget>

namespace zrt::window {

class ImageView : public QWidget {
  Q_OBJECT

 public:
  explicit ImageView(QWidget* parent = nullptr) : QWidget(parent) {}

  void SetPixmap(const QPixmap& pixmap);
  const QPixmap& Pixmap() const { return pixmap_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QPixmap pixmap_;
};

}  // namespace zrt::window
