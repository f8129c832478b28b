#include "window/form/filled_tick_style.h"

#include <QApplication>
#include <QPainter>
#include <QStyleOptionButton>
#include <algorithm>

#include "window/form/stroke_outline.h"

namespace zrt::window {
namespace {

constexpr char kFusion[] = "fusion";

bool IsFusion(const QStyle* style) {
  return style->name().compare(QLatin1String(kFusion), Qt::CaseInsensitive) == 0;
}

// Fusion's tick in its box: the proportions, the pen's width for the
// screen's resolution and the nudge Fusion gives it.
void DrawTick(const QStyleOption& option, QPainter& painter) {
  const qreal dpi =
      QCoreApplication::testAttribute(Qt::AA_Use96Dpi) ? 96 : option.fontMetrics.fontDpi();
  const qreal perPixel = dpi / 96;
  const QRect box = option.rect.adjusted(0, 0, -1, -1);
  const qreal side = box.height();
  const qreal padding = 1 + box.width() * 0.13;
  const qreal width = std::clamp(1.5 * perPixel, 0.13 * side, 0.20 * side);
  QPolygonF tick{{padding + side * 0.11, side * 0.47},
                 {side * 0.5, side - padding},
                 {side - padding, padding}};
  tick.translate(box.topLeft());

  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.translate(0.5 - 0.8 * perPixel, 0.5 + 0.5 * perPixel);
  painter.setPen(Qt::NoPen);
  painter.setBrush(option.palette.text().color().darker(120));
  painter.drawPolygon(StrokeOutline(tick, width, Qt::BevelJoin), Qt::WindingFill);
  painter.restore();
}

}  // namespace

FilledTickStyle::FilledTickStyle() : QProxyStyle(QLatin1String(kFusion)) {}

void FilledTickStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                    QPainter* painter, const QWidget* widget) const {
  const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
  const bool checked = button && (button->state & State_On) && !(button->state & State_NoChange);
  if (element != PE_IndicatorCheckBox || !checked) {
    QProxyStyle::drawPrimitive(element, option, painter, widget);
    return;
  }
  QStyleOptionButton empty = *button;
  empty.state = (empty.state & ~State_On) | State_Off;
  QProxyStyle::drawPrimitive(element, &empty, painter, widget);
  DrawTick(*button, *painter);
}

void UseFilledTicks() {
  if (IsFusion(QApplication::style())) QApplication::setStyle(new FilledTickStyle);
}

}  // namespace zrt::window
