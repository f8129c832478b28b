#include "window/instrument/output_preview.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "guard/limits.h"
#include "settings/units.h"
#include "window/form/own_texts.h"

namespace zrt::window {
namespace {

constexpr int kLeftMargin = 52;
constexpr int kMargin = 6;
constexpr int kBottomMargin = 18;

// 1, 2 or 5 times a power of ten, at least `value`.
double NiceAbove(double value) {
  const double power = std::pow(10.0, std::floor(std::log10(value)));
  for (double step : {1.0, 2.0, 5.0, 10.0}) {
    if (step * power >= value) return step * power;
  }
  return 10 * power;
}

QString Volts(double volts) { return QString::number(volts, 'g', 3) + " V"; }

}  // namespace

QString Seconds(double seconds) {
  if (seconds >= 1) return QString::number(seconds, 'g', 3) + " s";
  if (seconds >= 1e-3) return QString::number(seconds * 1e3, 'g', 3) + " ms";
  if (seconds >= 1e-6) return QString::number(seconds * 1e6, 'g', 3) + " µs";
  return QString::number(seconds * 1e9, 'g', 3) + " ns";
}

OutputPreview::OutputPreview(QWidget* parent) : QWidget(parent) {
  setObjectName("OutputPreview");
  setAutoFillBackground(false);
}

void OutputPreview::Show(const settings::ChannelOutput& a, const settings::ChannelOutput& b) {
  a_ = a;
  b_ = b;
  setToolTip(Notes().join('\n'));
  update();
}

void OutputPreview::SetSpan(double seconds) {
  span_ = std::max(seconds, 0.0);
  update();
}

void OutputPreview::ApplyLanguage(Language language) {
  language_ = language;
  setToolTip(Notes().join('\n'));
  update();
}

void OutputPreview::ShowSweeps(std::optional<settings::SweepPlan> frequency,
                               std::optional<settings::SweepPlan> amplitude) {
  frequencySweep_ = frequency;
  amplitudeSweep_ = amplitude;
  update();
}

double OutputPreview::VoltRange() const {
  double reach = 0;
  for (const settings::ChannelOutput* output : {&a_, &b_}) {
    if (!output->Drawable() || !output->on) continue;
    reach = std::max(reach, std::fabs(output->offset) + std::fabs(*output->amplitude) / 2);
  }
  if (amplitudeSweep_) {
    const double most =
        std::max(std::fabs(amplitudeSweep_->start), std::fabs(amplitudeSweep_->stop));
    reach = std::max(reach, std::fabs(a_.offset) + most / 2);
  }
  return NiceAbove(std::max(reach, 0.1));
}

// Darker hues on a light base, lighter ones on a dark base.
QColor OutputPreview::ChannelColor(int channel) const {
  const bool dark = palette().color(QPalette::Base).lightness() < 128;
  if (channel == 0) return dark ? QColor(255, 213, 79) : QColor(21, 101, 192);
  return dark ? QColor(79, 195, 247) : QColor(198, 40, 40);
}

QRect OutputPreview::PlotArea() const {
  return rect().adjusted(kLeftMargin, kMargin, -kMargin, -kBottomMargin);
}

QStringList OutputPreview::Notes() const {
  QStringList notes;
  for (const settings::ChannelOutput* output : {&a_, &b_}) {
    const QString name =
        TextIn(output->channel == 'A' ? OwnText::ViewChannelA : OwnText::ViewChannelB, language_);
    if (!output->Drawable()) {
      notes << TextIn(OwnText::PreviewNotDrawn, language_).arg(name);
    } else if (!output->on) {
      notes << TextIn(OwnText::PreviewOff, language_).arg(name);
    } else if (output->shape == settings::Shape::Unknown) {
      notes << TextIn(OwnText::PreviewShapeUnknown, language_)
                   .arg(name, QString::fromStdString(output->wave));
    }
  }
  return notes;
}

void OutputPreview::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QPalette& colors = palette();
  painter.fillRect(rect(), colors.color(QPalette::Base));
  const QRect plot = PlotArea();
  if (plot.width() < 10 || plot.height() < 10) return;
  const double range = VoltRange();
  const double span = Span();
  const auto y = [&](double volts) {
    return plot.center().y() - volts / range * plot.height() / 2.0;
  };

  // The volt axis: its ends, its halves and 0, labelled.
  painter.setPen(QPen(colors.color(QPalette::Mid), 1, Qt::DotLine));
  for (double volts : {-range, -range / 2, 0.0, range / 2, range}) {
    painter.drawLine(QPointF(plot.left(), y(volts)), QPointF(plot.right(), y(volts)));
  }
  painter.setPen(colors.color(QPalette::Text));
  const QFontMetrics metrics(font());
  for (double volts : {-range, 0.0, range}) {
    const QRectF label(0, y(volts) - metrics.height() / 2.0, kLeftMargin - 4, metrics.height());
    painter.drawText(label, Qt::AlignRight | Qt::AlignVCenter, Volts(volts));
  }
  painter.drawText(QRect(plot.left(), plot.bottom() + 2, plot.width(), kBottomMargin - 2),
                   Qt::AlignRight | Qt::AlignVCenter,
                   TextIn(OwnText::PreviewSpan, language_).arg(Seconds(span)));

  // Channel A's sweeps, behind the curves.
  QColor band = ChannelColor(0);
  band.setAlpha(50);
  if (amplitudeSweep_) {
    const double low = std::min(amplitudeSweep_->start, amplitudeSweep_->stop) / 2;
    const double high = std::max(amplitudeSweep_->start, amplitudeSweep_->stop) / 2;
    for (int sign : {1, -1}) {
      painter.fillRect(QRectF(QPointF(plot.left(), y(a_.offset + sign * high)),
                              QPointF(plot.right(), y(a_.offset + sign * low)))
                           .normalized(),
                       band);
    }
  }
  if (frequencySweep_) {
    const QRect top(plot.left(), plot.top(), plot.width(), metrics.height() + 4);
    painter.fillRect(top, band);
    painter.setPen(colors.color(QPalette::Text));
    painter.drawText(
        top.adjusted(4, 0, -4, 0), Qt::AlignLeft | Qt::AlignVCenter,
        TextIn(OwnText::PreviewFrequencySweep, language_)
            .arg(QString::fromStdString(settings::Quantity(frequencySweep_->start, "Hz")),
                 QString::fromStdString(settings::Quantity(frequencySweep_->stop, "Hz"))));
  }

  // Each channel, a sample a pixel (a square's edge rises within one).
  painter.setRenderHint(QPainter::Antialiasing);
  const int samples = plot.width();
  int channel = 0;
  for (const settings::ChannelOutput* output : {&a_, &b_}) {
    if (output->Drawable()) {
      QPainterPath path;
      for (int i = 0; i <= samples; ++i) {
        const double at = span * i / samples;
        const QPointF point(plot.left() + plot.width() * static_cast<double>(i) / samples,
                            y(settings::LevelAt(*output, at)));
        if (i == 0) {
          path.moveTo(point);
        } else {
          path.lineTo(point);
        }
      }
      painter.setPen(QPen(ChannelColor(channel), 1.5));
      painter.drawPath(path);
    }
    ++channel;
  }
  painter.setRenderHint(QPainter::Antialiasing, false);
  // Which colour is which channel, at the top right.
  for (int which = 0; which < 2; ++which) {
    const QString name =
        TextIn(which == 0 ? OwnText::ViewChannelA : OwnText::ViewChannelB, language_);
    painter.setPen(ChannelColor(which));
    painter.drawText(QRect(plot.left(), plot.top() + 2 + which * metrics.height(), plot.width() - 4,
                           metrics.height()),
                     Qt::AlignRight | Qt::AlignVCenter, name);
  }
  // What could not be drawn as known, at the bottom left, each on a line.
  painter.setPen(colors.color(QPalette::Text));
  const QStringList notes = Notes();
  const int width = plot.width() - 8;
  for (int line = 0; line < notes.size(); ++line) {
    const int baseline =
        plot.bottom() - 4 - (static_cast<int>(notes.size()) - 1 - line) * metrics.height();
    painter.drawText(plot.left() + 4, baseline,
                     metrics.elidedText(notes[line], Qt::ElideRight, width));
  }
}

}  // namespace zrt::window
