// The Fusion style with its check mark filled rather than stroked.
//
// Fusion strokes the tick of a checked box through Qt's general stroker,
// which brings libm's angle arithmetic and its tables into the first paint
// of any window with a checked box. This style fills the same outline
// (StrokeOutline) instead; the tick looks as Fusion's, to the rounding of
// the smoothing. Every other element Fusion draws as ever.
#pragma once

#include <QProxyStyle>

namespace zrt::window {

class FilledTickStyle : public QProxyStyle {
 public:
  FilledTickStyle();

  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;
};

// Puts FilledTickStyle in the application's place when its style is Fusion;
// leaves any other style alone. Call before the first window is made.
void UseFilledTicks();

}  // namespace zrt::window
