#include "window/form/stroke_outline.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace zrt::window {
namespace {

// QPen's default miter limit, in pen widths from the join's offset point.
constexpr qreal kMiterLimit = 2.0;

qreal Cross(QPointF a, QPointF b) { return a.x() * b.y() - a.y() * b.x(); }

qreal Length(QPointF v) { return std::sqrt(QPointF::dotProduct(v, v)); }

// The left-hand normal of a direction.
QPointF Normal(QPointF d) { return {-d.y(), d.x()}; }

// One side of a line, walked forwards: each segment moved half the width to
// the side (+1 left, -1 right), joined at the corners as the stroker joins
// them: on the inner side the outline passes through the corner's point,
// and the small loops that leaves are counted by the rasteriser's smoothing
// as in Qt's own strokes.
QPolygonF Side(const QPolygonF& points, bool closed, int side, qreal width, Qt::PenJoinStyle join) {
  const qsizetype n = points.size();
  const qsizetype segments = closed ? n : n - 1;
  const qreal half = side * width / 2;
  std::vector<QPointF> along;
  for (qsizetype i = 0; i < segments; ++i) {
    const QPointF step = points[(i + 1) % n] - points[i];
    along.push_back(step / Length(step));
  }
  QPolygonF out;
  auto corner = [&](qsizetype i) {
    const QPointF in = along[(i + segments - 1) % segments];
    const QPointF on = along[i % segments];
    const QPointF a = points[i] + half * Normal(in);
    const QPointF b = points[i] + half * Normal(on);
    const qreal turn = Cross(in, on);
    if (std::abs(turn) < 1e-12) {
      out << a;
      return;
    }
    out << a;
    if (half * turn > 0) {
      out << points[i];
    } else if (join == Qt::MiterJoin) {
      const QPointF meet = a + in * (Cross(b - a, on) / turn);
      if (Length(meet - a) <= width * kMiterLimit / 2) out << meet;
    }
    out << b;
  };
  if (closed) {
    for (qsizetype i = 0; i < n; ++i) corner(i);
    return out;
  }
  out << points.first() + half * Normal(along.front());
  for (qsizetype i = 1; i + 1 < n; ++i) corner(i);
  out << points.last() + half * Normal(along.back());
  return out;
}

QPolygonF Reversed(QPolygonF polygon) {
  std::reverse(polygon.begin(), polygon.end());
  return polygon;
}

}  // namespace

QPolygonF StrokeOutline(const QPolygonF& line, qreal width, Qt::PenJoinStyle join) {
  if (line.size() < 2) return {};
  // Square caps: each end carried half the width on.
  QPolygonF capped = line;
  const QPointF first = line[1] - line[0];
  const QPointF last = line.last() - line[line.size() - 2];
  capped.first() -= first / Length(first) * width / 2;
  capped.last() += last / Length(last) * width / 2;
  return Side(capped, false, +1, width, join) + Reversed(Side(capped, false, -1, width, join));
}

QPainterPath FrameOutline(const QRectF& rect, qreal width) {
  const QPolygonF corners{rect.topLeft(), rect.topRight(), rect.bottomRight(), rect.bottomLeft()};
  QPainterPath band;
  band.setFillRule(Qt::WindingFill);
  band.addPolygon(Side(corners, true, +1, width, Qt::BevelJoin));
  band.closeSubpath();
  band.addPolygon(Reversed(Side(corners, true, -1, width, Qt::BevelJoin)));
  band.closeSubpath();
  return band;
}

}  // namespace zrt::window
