// The area a wide pen covers, as outlines to fill.
//
// Qt strokes wide lines through its general stroker, which measures every
// corner's angle with atan2; the window's few wide strokes at start (its
// check marks and the icon's frames) are filled from these outlines
// instead, so drawing the window needs none of that arithmetic and none of
// libm's tables.
#pragma once

#include <QPainterPath>
#include <QPolygonF>
#include <QRectF>
#include <Qt>

namespace zrt::window {

// The area a pen of `width` with square caps covers along `line` (two or
// more distinct points), with miter joins (beveled past a miter limit of
// twice the width, as QPen's default) or bevel joins; filled with
// Qt::WindingFill it covers what QPainter::strokePath with such a pen
// covers. Meant for corners no sharper than about 60 degrees, such as
// check marks'; a sharper one is drawn, though not quite as Qt draws it.
QPolygonF StrokeOutline(const QPolygonF& line, qreal width, Qt::PenJoinStyle join);

// The band a pen of `width` with bevel joins (QPen's default) covers along
// the edge of `rect`, to fill: what QPainter::drawRect strokes.
QPainterPath FrameOutline(const QRectF& rect, qreal width);

}  // namespace zrt::window
