// A picture of both channels' output over one time axis (two periods of
// the slower channel), drawn from what is known of their settings:
// amplitude and offset to scale on a volt axis, a channel switched off
// flat, and a line for each channel that cannot be drawn or whose shape is
// not known. Drawn in the palette's colours, so a dark theme works.
#pragma once

#include <QWidget>
#include <optional>

#include "settings/output_shape.h"
#include "settings/sweep_plan.h"
#include "window/form/caption_table.h"

namespace zrt::window {

class OutputPreview : public QWidget {
  Q_OBJECT

 public:
  explicit OutputPreview(QWidget* parent = nullptr);

  void Show(const settings::ChannelOutput& a, const settings::ChannelOutput& b);
  // Channel A's sweeps, where known: the frequencies a frequency sweep
  // spans as a band across the top, the amplitudes an amplitude sweep
  // spans as bands around the curve.
  void ShowSweeps(std::optional<settings::SweepPlan> frequency,
                  std::optional<settings::SweepPlan> amplitude);
  void ApplyLanguage(Language language);
  // The time shown: `seconds`, or two periods of the slower channel (0).
  void SetSpan(double seconds);
  // The volts the axis reaches either way from 0, and the time it spans.
  double VoltRange() const;
  double Span() const { return span_ > 0 ? span_ : settings::SpanOf(a_, b_); }
  // The colour channel A (0) or B (1) is drawn in, against the palette.
  QColor ChannelColor(int channel) const;
  // The plot's area within the widget.
  QRect PlotArea() const;
  QSize sizeHint() const override { return {360, 170}; }
  QSize minimumSizeHint() const override { return {200, 100}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QStringList Notes() const;
  static settings::ChannelOutput BChannel() {
    settings::ChannelOutput b;
    b.channel = 'B';
    return b;
  }

  settings::ChannelOutput a_;
  settings::ChannelOutput b_ = BChannel();
  Language language_ = Language::English;
  double span_ = 0;
  std::optional<settings::SweepPlan> frequencySweep_;
  std::optional<settings::SweepPlan> amplitudeSweep_;
};

// "2 ms", "500 µs": a time as the picture's axis says it.
QString Seconds(double seconds);

}  // namespace zrt::window
