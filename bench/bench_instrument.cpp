// Measures the instrument's page: how long a read back takes against the
// wire's own floor (each query's bytes 10 ms apart, then the 100 ms of
// quiet that ends its reply), from the real window to the simulated
// instrument on a pseudo-terminal; and how long the output's picture takes
// to paint, both channels drawn.
//
//   bench-instrument [--json] [--reads N] [--paints N]
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QImage>
#include <QPushButton>
#include <chrono>
#include <cstdio>

#include "bench_support.h"
#include "settings/read_back.h"
#include "sim/pty_instrument.h"
#include "window/instrument/output_preview.h"
#include "window_driving.h"

namespace {

using zrt::bench::Find;
using zrt::bench::Percentile;

// The read back's time over its floor, the best of `reads` runs.
double ReadBackRatio(int reads) {
  zrt::sim::PtyInstrument instrument({});
  zrt::window::TForm1 form;
  zrt::bench::Answering answering("bench-instrument");
  form.SetMessagePresenter(answering);
  form.show();
  Find<QComboBox>(form, "cbo1")->setEditText(QString::fromStdString(instrument.TerminalPath()));
  Find<QPushButton>(form, "btn106")->click();
  double floorMs = 0;
  for (const auto& name : zrt::settings::ReadBackItems()) {
    // The address byte, the line and a line feed.
    const double bytes = static_cast<double>(zrt::settings::QueryLine("X", name).size() + 1);
    floorMs += bytes * 10 + 100;
  }
  double best = 0;
  for (int run = 0; run < reads; ++run) {
    QElapsedTimer clock;
    clock.start();
    form.Instrument().ReadBack();
    while (form.Instrument().ReadingBack()) {
      QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    const double ratio = static_cast<double>(clock.nsecsElapsed()) / 1e6 / floorMs;
    if (run == 0 || ratio < best) best = ratio;
  }
  return best;
}

struct PaintTimes {
  double mean = 0;
  double p99 = 0;
};

// Both channels drawn on a page's usual size: a sine and a square, each
// over several periods.
PaintTimes Paint(int paints) {
  zrt::settings::InstrumentSettings known;
  for (const char* line : {"CHA:AFREQ:1kHz", "CHA:VPP:2Vpp", "CHA:AOFFS:0.5Vdc", "CHB:BFREQ:3.3kHz",
                           "CHB:VPP:1Vpp", "CHB:SQUAR"}) {
    known.RecordReply(line, "OK\n");
  }
  zrt::window::OutputPreview preview;
  preview.resize(420, 260);
  preview.Show(zrt::settings::OutputOf(known, 'A'), zrt::settings::OutputOf(known, 'B'));
  QImage image(preview.size(), QImage::Format_ARGB32_Premultiplied);
  std::vector<double> times;
  for (int i = 0; i < paints; ++i) {
    QElapsedTimer clock;
    clock.start();
    preview.render(&image);
    times.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e3);
  }
  double sum = 0;
  for (double t : times) sum += t;
  return {sum / static_cast<double>(times.size()), Percentile(times, 0.99)};
}

}  // namespace

int main(int argc, char** argv) {
  bool json = false;
  int reads = 3;
  int paints = 1000;
  QApplication app(argc, argv);
  if (!zrt::bench::ParseArguments(argc, argv, json, {{"--reads", &reads}, {"--paints", &paints}},
                                  "usage: bench-instrument [--json] [--reads N] [--paints N]")) {
    return 2;
  }
  const double ratio = ReadBackRatio(reads);
  const PaintTimes paint = Paint(paints);
  if (json) {
    std::printf(
        "{\"read_back_ratio\": %.3f, \"plot_paint_us_mean\": %.0f, "
        "\"plot_paint_us_p99\": %.0f}\n",
        ratio, paint.mean, paint.p99);
  } else {
    std::printf("read_back_ratio:    %.3f of the wire's floor, best of %d (target <= 1.05)\n",
                ratio, reads);
    std::printf("plot_paint_us_p99:  %.0f us (mean %.0f) over %d paints (target <= 2000)\n",
                paint.p99, paint.mean, paints);
  }
  return 0;
}
