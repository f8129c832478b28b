// Relative luminance and contrast as WCAG reckons them, and the contrast of
// what is drawn in a part of an image against that part's background.
#pragma once

#include <QColor>
#include <QHash>
#include <QImage>
#include <QRect>
#include <algorithm>
#include <cmath>

namespace zrt::window {

inline double Luminance(const QColor& color) {
  const auto linear = [](double c) {
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear(color.redF()) + 0.7152 * linear(color.greenF()) +
         0.0722 * linear(color.blueF());
}

inline double Contrast(const QColor& a, const QColor& b) {
  const double la = Luminance(a), lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The background of `area` is its commonest colour; what is drawn on it
// reads as well as its strongest pixel stands out (the core of a glyph,
// past its anti-aliased edge). 1 when nothing is drawn.
inline double DrawnContrast(const QImage& image, const QRect& area) {
  QHash<QRgb, int> counts;
  const QRect inside = area & image.rect();
  for (int y = inside.top(); y <= inside.bottom(); ++y) {
    for (int x = inside.left(); x <= inside.right(); ++x) ++counts[image.pixel(x, y)];
  }
  const QColor background(std::max_element(counts.cbegin(), counts.cend()).key());  // commonest
  double best = 1;
  for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
    best = std::max(best, Contrast(QColor(it.key()), background));
  }
  return best;
}

}  // namespace zrt::window
