// The picture of the output, checked by its pixels: the periods of a sine,
// its amplitude and offset to scale, a channel switched off flat, and a
// dark palette.
#include "window/instrument/output_preview.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QPalette>

#include "contrast.h"
#include "settings/sweep_plan.h"

namespace zrt::window {
namespace {

settings::InstrumentSettings Known(std::initializer_list<const char*> lines) {
  settings::InstrumentSettings known;
  for (const char* line : lines) known.RecordReply(line, "OK\n");
  return known;
}

struct Picture {
  Picture(const settings::InstrumentSettings& known, const QPalette& palette = QPalette()) {
    preview.setPalette(palette);
    preview.resize(420, 320);
    preview.Show(settings::OutputOf(known, 'A'), settings::OutputOf(known, 'B'));
    image = preview.grab().toImage();
  }
  // Whether the pixel is drawn in the channel's colour: it is nearer that
  // than any other colour of the picture (a line's edge is blended).
  bool Of(int channel, int x, int y) const {
    const QColor got = image.pixelColor(x, y);
    const auto distance = [&](const QColor& to) {
      return std::abs(got.red() - to.red()) + std::abs(got.green() - to.green()) +
             std::abs(got.blue() - to.blue());
    };
    const QPalette& colors = preview.palette();
    const int mine = distance(preview.ChannelColor(channel));
    for (const QColor& other : {preview.ChannelColor(1 - channel), colors.color(QPalette::Base),
                                colors.color(QPalette::Mid), colors.color(QPalette::Text)}) {
      if (distance(other) <= mine) return false;
    }
    return true;
  }
  // The rows a channel's line covers in a column, between the legend (two
  // lines at the top) and a note (one at the bottom).
  std::vector<int> Rows(int channel, int x) const {
    std::vector<int> rows;
    const QRect plot = preview.PlotArea();
    const int line = preview.fontMetrics().height();
    for (int y = plot.top() + 2 * line + 4; y <= plot.bottom() - line - 6; ++y) {
      if (Of(channel, x, y)) rows.push_back(y);
    }
    return rows;
  }
  // Times the channel's line goes down through `volts`.
  int Crossings(int channel, double volts) const {
    const QRect plot = preview.PlotArea();
    int crossings = 0;
    bool above = false;
    for (int x = plot.left() + 1; x < plot.right(); ++x) {
      const std::vector<int> rows = Rows(channel, x);
      if (rows.empty()) continue;
      const bool now = (rows.front() + rows.back()) / 2.0 < Y(volts);
      crossings += !now && above;
      above = now;
    }
    return crossings;
  }
  double Y(double volts) const {
    const QRect plot = preview.PlotArea();
    return plot.center().y() - volts / preview.VoltRange() * plot.height() / 2.0;
  }
  OutputPreview preview;
  QImage image;
};

TEST(OutputPreview, ASineToScaleAndAChannelSwitchedOffFlat) {
  // A: 1 kHz, 2 Vpp about -0.5 V (from -1.5 V to 0.5 V); B: 250 Hz, off.
  const Picture picture(Known({"CHA:AFREQ:1kHz", "CHA:VPP:2Vpp", "CHA:AOFFS:-0.5Vdc",
                               "CHB:BFREQ:250Hz", "CHB:VPP:1Vpp", "CHB:SWITCH:0No."}));
  QDir().mkpath(ZRT_SCREENSHOT_DIR);
  picture.image.save(QString(ZRT_SCREENSHOT_DIR) + "/preview.png");
  EXPECT_DOUBLE_EQ(picture.preview.Span(), 8e-3) << "two periods of the slower channel";
  EXPECT_DOUBLE_EQ(picture.preview.VoltRange(), 2);
  const QRect plot = picture.preview.PlotArea();
  int highest = plot.bottom();
  int lowest = plot.top();
  for (int x = plot.left() + 1; x < plot.right(); ++x) {
    const std::vector<int> rows = picture.Rows(0, x);
    if (rows.empty()) continue;
    highest = std::min(highest, rows.front());
    lowest = std::max(lowest, rows.back());
  }
  // Down through the offset half a period in, once a millisecond.
  EXPECT_EQ(picture.Crossings(0, -0.5), 8);
  EXPECT_NEAR(highest, picture.Y(0.5), 2.5);
  EXPECT_NEAR(lowest, picture.Y(-1.5), 2.5);
  // B lies on 0 V from end to end.
  for (int x = plot.left() + 1; x < plot.right() - 1; x += 7) {
    const std::vector<int> rows = picture.Rows(1, x);
    ASSERT_FALSE(rows.empty()) << x;
    EXPECT_NEAR(rows.front(), picture.Y(0), 2.5) << x;
    EXPECT_NEAR(rows.back(), picture.Y(0), 2.5) << x;
  }
}

// An amplitude sweep's span is a band around the curve, within the axis.
TEST(OutputPreview, AnAmplitudeSweepAsABand) {
  const auto known = Known({"CHA:AFREQ:1kHz", "CHA:VPP:2Vpp", "ASWP:STARA:1Vpp", "ASWP:STOPA:8Vpp",
                            "ASWP:STEPA:1Vpp", "ASWP:INTVL:1S"});
  Picture picture(known);
  picture.preview.ShowSweeps(std::nullopt, settings::PlanOf(known, "ASWP"));
  picture.image = picture.preview.grab().toImage();
  EXPECT_GE(picture.preview.VoltRange(), 4.0) << "the sweep's largest amplitude is on the axis";
  const QColor base = picture.preview.palette().color(QPalette::Base);
  // Where the curve is at its lowest (three quarters of the first period),
  // away from what is looked at.
  const QRect plot = picture.preview.PlotArea();
  const int x = plot.left() + plot.width() * 3 / 8;
  EXPECT_NE(picture.image.pixelColor(x, static_cast<int>(picture.Y(3))), base) << "inside the band";
  EXPECT_EQ(picture.image.pixelColor(x, static_cast<int>(picture.Y(0.2))), base)
      << "inside the lowest";
}

TEST(OutputPreview, ASpanChosen) {
  const auto known = Known({"CHA:AFREQ:1kHz", "CHA:VPP:2Vpp"});
  for (const auto& [span, periods] : {std::pair{3e-3, 3}, std::pair{5e-3, 5}, std::pair{0.0, 2}}) {
    Picture picture(known);
    picture.preview.SetSpan(span);
    picture.image = picture.preview.grab().toImage();
    EXPECT_EQ(picture.Crossings(0, 0), periods) << span;
  }
}

TEST(OutputPreview, ReadableInADarkPalette) {
  QPalette dark;
  dark.setColor(QPalette::Base, QColor(30, 30, 30));
  dark.setColor(QPalette::Text, QColor(230, 230, 230));
  dark.setColor(QPalette::Mid, QColor(90, 90, 90));
  const Picture picture(Known({"CHA:AFREQ:1kHz", "CHA:VPP:2Vpp", "CHB:BFREQ:2kHz", "CHB:VPP:1Vpp"}),
                        dark);
  EXPECT_EQ(picture.image.pixelColor(2, 2), QColor(30, 30, 30)) << "the palette's base";
  for (int channel : {0, 1}) {
    EXPECT_GE(Contrast(picture.preview.ChannelColor(channel), QColor(30, 30, 30)), 4.5);
  }
  int lit = 0;
  for (int x = 0; x < picture.image.width(); ++x) {
    for (int y = 0; y < picture.image.height(); ++y) lit += picture.Of(0, x, y);
  }
  EXPECT_GT(lit, 200) << "channel A is drawn";
  const Picture light(Known({"CHA:AFREQ:1kHz", "CHA:VPP:2Vpp"}));
  for (int channel : {0, 1}) {
    EXPECT_GE(Contrast(light.preview.ChannelColor(channel),
                       light.preview.palette().color(QPalette::Base)),
              4.5);
  }
}

}  // namespace
}  // namespace zrt::window
