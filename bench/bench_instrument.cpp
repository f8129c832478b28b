// Measures the instrument's page: how long a read back takes against the
// wire's own floor (each query's bytes 10 ms apart, then the 100 ms of
// quiet that ends its reply), from the real window to the simulated
// instrument on a pseudo-terminal; and how long the output's picture takes
// to paint, both channels drawn; and a value turned with the wheel where
// the page shows it: from a notch to its frame's first byte on an idle
// link, the window's longest stall while fifty notches turn in half a
// second, and how many lines those fifty notches send.
//
//   bench-instrument [--json] [--reads N] [--paints N] [--notches N]
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QImage>
#include <QPushButton>
#include <QTableWidget>
#include <QWheelEvent>
#include <chrono>
#include <cstdio>
#include <memory>

#include "bench_support.h"
#include "settings/read_back.h"
#include "sim/pty_instrument.h"
#include "window/instrument/instrument_view.h"
#include "window/instrument/output_preview.h"
#include "window/instrument/value_editor.h"
#include "window_driving.h"

namespace {

using zrt::bench::Find;
using zrt::bench::Percentile;

// The window shown, its port open on the simulated instrument.
struct Bench {
  Bench() {
    form->SetMessagePresenter(answering);
    form->show();
    Find<QComboBox>(*form, "cbo1")->setEditText(QString::fromStdString(instrument.TerminalPath()));
    Find<QPushButton>(*form, "btn106")->click();
  }
  // The window goes first, the presenter it tells last.
  zrt::bench::Answering answering{"bench-instrument"};
  zrt::sim::PtyInstrument instrument{{}};
  std::unique_ptr<zrt::window::TForm1> form = std::make_unique<zrt::window::TForm1>();
};

// The read back's time over its floor, the best of `reads` runs.
double ReadBackRatio(int reads) {
  const Bench bench;
  zrt::window::TForm1& form = *bench.form;
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

struct Tuning {
  double firstByteP99 = 0;
  double stallMs = 0;
  int lines = 0;
  bool lastIsLast = false;
};

// Channel A's frequency turned with the wheel where the page shows it.
Tuning Turn(int notches) {
  const Bench bench;
  zrt::window::TForm1& form = *bench.form;
  form.SetInstrumentShown(true);
  zrt::session::LineSession& session = form.Session();
  const auto settle = [&] {
    // Idle, and past the quiet after the last reply.
    QElapsedTimer quiet;
    quiet.start();
    while (!session.Idle() || quiet.elapsed() < 400) {
      if (!session.Idle()) quiet.restart();
      QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
  };
  QTableWidget* table = form.Instrument().View()->Table();
  table->setCurrentCell(0, 1);
  table->edit(table->currentIndex());
  auto* editor = table->findChild<zrt::window::ValueEditor*>();
  if (!editor) {
    std::fprintf(stderr, "bench-instrument: no value editor\n");
    std::exit(1);
  }
  editor->setFocus();
  const auto notch = [&] {
    const QPoint at(editor->width() - 4, editor->height() / 2);  // the units
    QWheelEvent event(at, editor->mapToGlobal(at), {}, {0, 120}, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(editor, &event);
  };
  QElapsedTimer clock;
  std::vector<double> firstBytes;
  QStringList onWire;
  bool waitingForByte = false;
  QObject::connect(&session, &zrt::session::LineSession::FrameOnWire,
                   [&](const zrt::session::Frame& frame) {
                     onWire << frame.text;
                     if (waitingForByte)
                       firstBytes.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
                     waitingForByte = false;
                   });
  for (int i = 0; i < notches; ++i) {
    settle();
    waitingForByte = true;
    clock.start();
    notch();
    while (waitingForByte) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
  }
  settle();
  // Fifty notches in half a second, the window watched for stalls.
  onWire.clear();
  const zrt::bench::StallProbe probe;
  QElapsedTimer turning;
  turning.start();
  for (int i = 0; i < 50; ++i) {
    notch();
    while (turning.elapsed() < (i + 1) * 10) QApplication::processEvents(QEventLoop::AllEvents, 1);
  }
  const double stall = probe.LongestMs();
  settle();
  const QString last = QString("88CHA:AFREQ") + editor->Number() + editor->Unit();
  return {Percentile(firstBytes, 0.99), stall, static_cast<int>(onWire.size()),
          !onWire.isEmpty() && onWire.last() == last};
}

}  // namespace

int main(int argc, char** argv) {
  bool json = false;
  int reads = 3;
  int paints = 1000;
  int notches = 30;
  QApplication app(argc, argv);
  if (!zrt::bench::ParseArguments(
          argc, argv, json, {{"--reads", &reads}, {"--paints", &paints}, {"--notches", &notches}},
          "usage: bench-instrument [--json] [--reads N] [--paints N] [--notches N]")) {
    return 2;
  }
  const double ratio = ReadBackRatio(reads);
  const PaintTimes paint = Paint(paints);
  const Tuning tuning = Turn(notches);
  if (json) {
    std::printf(
        "{\"read_back_ratio\": %.3f, \"plot_paint_us_mean\": %.0f, "
        "\"plot_paint_us_p99\": %.0f, \"tune_first_byte_ms\": %.1f, \"tune_stall_ms\": %.1f, "
        "\"tune_lines_per_50_steps\": %d, \"tune_last_line_is_last_value\": %s}\n",
        ratio, paint.mean, paint.p99, tuning.firstByteP99, tuning.stallMs, tuning.lines,
        tuning.lastIsLast ? "true" : "false");
  } else {
    std::printf("read_back_ratio:    %.3f of the wire's floor, best of %d (target <= 1.05)\n",
                ratio, reads);
    std::printf("plot_paint_us_p99:  %.0f us (mean %.0f) over %d paints (target <= 2000)\n",
                paint.p99, paint.mean, paints);
    std::printf("tune_first_byte_ms: %.1f ms p99 over %d notches (target <= 15)\n",
                tuning.firstByteP99, notches);
    std::printf("tune_stall_ms:      %.1f ms, turning 50 notches in 0.5 s (target <= 20)\n",
                tuning.stallMs);
    std::printf("tune_lines_per_50_steps: %d, the last %s the last value (target <= 15)\n",
                tuning.lines, tuning.lastIsLast ? "carrying" : "NOT carrying");
  }
  return 0;
}
