// The window's own drawings fill outlines where Qt would stroke: each outline
// against the stroke it stands for, the check box's tick against Fusion's,
// and the icon as platforms ask for it.
#include "window/form/artwork.h"

#include <gtest/gtest.h>

#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QStyleFactory>
#include <QStyleOptionButton>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>

#include "window/form/filled_tick_style.h"
#include "window/form/stroke_outline.h"

namespace zrt::window {
namespace {

// The largest difference in any channel of any pixel.
int Difference(const QImage& a, const QImage& b) {
  int most = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y);
      const QRgb q = b.pixel(x, y);
      most = std::max({most, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                       std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
    }
  }
  return most;
}

QImage Drawn(qreal scale, bool antialias, const std::function<void(QPainter&)>& draw) {
  QImage image(64, 48, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, antialias);
  p.scale(scale, scale);
  draw(p);
  return image;
}

QPainterPath Path(const QPolygonF& line) {
  QPainterPath path;
  path.addPolygon(line);
  return path;
}

TEST(StrokeOutline, FillsWhatTheStrokeCovers) {
  const QPolygonF tick{{3, 8}, {6, 11}, {12, 4}};
  const QPolygonF zigzag{{2, 20}, {10, 4}, {18, 20}, {30, 6}};
  const QPolygonF corner{{3.3, 4.1}, {20.2, 4.6}, {19.7, 20.3}};
  const QPolygonF straight{{4, 4}, {20, 4}, {28, 4}};
  const struct {
    const char* what;
    QPolygonF line;
    qreal width;
    Qt::PenJoinStyle join;
    qreal scale;
    bool antialias;
    int tolerance;  // out of 255: the smoothing's rounding
  } cases[] = {
      {"the port indicator's edge", tick, 4, Qt::MiterJoin, 1, false, 0},
      {"the port indicator's fill", tick, 2, Qt::MiterJoin, 1, false, 0},
      {"a zigzag, mitered", zigzag, 3, Qt::MiterJoin, 1, false, 0},
      {"a right angle, mitered", corner, 3, Qt::MiterJoin, 1, false, 0},
      {"a right angle, beveled", corner, 3, Qt::BevelJoin, 1, false, 0},
      {"a straight run", straight, 2, Qt::MiterJoin, 1, false, 0},
      {"a tick, smoothed", tick, 1.5, Qt::BevelJoin, 1, true, 4},
      {"a tick, smoothed and scaled", tick, 1.7, Qt::BevelJoin, 1.5, true, 4},
      {"a right angle, smoothed", corner, 2.5, Qt::BevelJoin, 1.25, true, 4},
      {"a zigzag, smoothed", zigzag, 2.5, Qt::MiterJoin, 1, true, 4},
  };
  for (const auto& c : cases) {
    const QImage stroked = Drawn(c.scale, c.antialias, [&](QPainter& p) {
      p.strokePath(Path(c.line), QPen(Qt::black, c.width, Qt::SolidLine, Qt::SquareCap, c.join));
    });
    const QImage filled = Drawn(c.scale, c.antialias, [&](QPainter& p) {
      p.setPen(Qt::NoPen);
      p.setBrush(Qt::black);
      p.drawPolygon(StrokeOutline(c.line, c.width, c.join), Qt::WindingFill);
    });
    EXPECT_LE(Difference(stroked, filled), c.tolerance) << c.what;
    EXPECT_NE(Difference(filled, Drawn(1, false, [](QPainter&) {})), 0)
        << c.what << ": nothing drawn";
  }
}

TEST(FrameOutline, FillsWhatDrawRectStrokes) {
  const struct {
    QRectF rect;
    qreal width;
    qreal scale;
  } cases[] = {
      {{12.5, 1.5, 18, 16}, 1, 1.5}, {{12.5, 1.5, 18, 16}, 1, 2},  {{6.5, 28.5, 13, 2}, 1, 1.5},
      {{4, 4, 20, 10}, 3, 1},        {{4.25, 3.5, 9, 7}, 2, 1.75},
  };
  for (const auto& c : cases) {
    const QImage stroked = Drawn(c.scale, true, [&](QPainter& p) {
      p.setPen(QPen(Qt::black, c.width));
      p.setBrush(Qt::NoBrush);
      p.drawRect(c.rect);
    });
    const QImage filled = Drawn(
        c.scale, true, [&](QPainter& p) { p.fillPath(FrameOutline(c.rect, c.width), Qt::black); });
    EXPECT_LE(Difference(stroked, filled), 2) << c.rect.x() << "," << c.rect.y() << " x" << c.scale;
  }
}

TEST(FilledTickStyle, DrawsFusionsCheckBoxes) {
  const std::unique_ptr<QStyle> fusion(QStyleFactory::create("fusion"));
  FilledTickStyle filled;
  const QPalette palette = fusion->standardPalette();
  using S = QStyle::StateFlag;
  const struct {
    const char* what;
    QStyle::State state;
    QPalette::ColorGroup group;
    int tolerance;  // out of 255
  } cases[] = {
      {"checked", S::State_Enabled | S::State_On, QPalette::Active, 4},
      {"checked, pressed", S::State_Enabled | S::State_On | S::State_Sunken, QPalette::Active, 4},
      {"checked, focused from the keyboard",
       S::State_Enabled | S::State_On | S::State_HasFocus | S::State_KeyboardFocusChange,
       QPalette::Active, 4},
      {"checked, disabled", S::State_On, QPalette::Disabled, 4},
      {"unchecked", S::State_Enabled | S::State_Off, QPalette::Active, 0},
      {"partly checked", S::State_Enabled | S::State_NoChange, QPalette::Active, 0},
  };
  for (const auto& c : cases) {
    for (int size : {13, 16, 20, 26}) {
      QStyleOptionButton option;
      option.rect = QRect(1, 1, size, size);
      option.state = c.state;
      option.palette = palette;
      option.palette.setCurrentColorGroup(c.group);
      auto drawn = [&](const QStyle& style) {
        QImage image(size + 2, size + 2, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter p(&image);
        style.drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, &p, nullptr);
        return image;
      };
      const QImage theirs = drawn(*fusion);
      EXPECT_LE(Difference(drawn(filled), theirs), c.tolerance) << c.what << ", " << size << " px";
      if (c.state & S::State_On) {
        QStyleOptionButton empty = option;
        empty.state = (c.state & ~S::State_On) | S::State_Off;
        QImage unchecked(theirs.size(), theirs.format());
        unchecked.fill(Qt::white);
        QPainter p(&unchecked);
        fusion->drawPrimitive(QStyle::PE_IndicatorCheckBox, &empty, &p, nullptr);
        p.end();
        EXPECT_GT(Difference(theirs, unchecked), 64) << c.what << ": no tick to compare";
      }
    }
  }
}

TEST(WindowIcon, DrawsEachSizeItIsAskedFor) {
  const QIcon icon = WindowIcon();
  ASSERT_FALSE(icon.isNull());
  EXPECT_EQ(icon.availableSizes(), (QList<QSize>{{16, 16}, {32, 32}, {48, 48}, {64, 64}}));
  for (int size : {16, 24, 32, 48, 64, 256}) {
    const QImage image = icon.pixmap(size, size).toImage();
    ASSERT_EQ(image.size(), QSize(size, size)) << size;
    EXPECT_EQ(Difference(image.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                         WindowIconImage(size)),
              0)
        << size;
    // The monitor's bezel is drawn at every size, its corner included.
    EXPECT_GT(qAlpha(image.pixel(size * 2 / 32, size * 9 / 32)), 200) << size;
  }
}

}  // namespace
}  // namespace zrt::window
