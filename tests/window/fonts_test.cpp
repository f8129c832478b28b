// The font built into the program draws every text of the window exactly as
// the installed font it was cut from.
#include "window/fonts.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QImage>
#include <QPainter>
#include <QStringList>

#include "compose/key_vocabulary.h"
#include "window/caption_table.h"
#include "window/layout_table.h"

namespace zrt::window::testing {
namespace {

QString Utf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QStringList WindowTexts() {
  QStringList texts;
  for (const CaptionRow& row : CaptionTable()) {
    for (const char* text : row.text) {
      if (text) texts << QString::fromUtf8(text);
    }
  }
  for (const ControlSpec& spec : WindowControls()) {
    texts << Utf8(spec.caption);
    for (std::string_view item : spec.items) texts << Utf8(item);
  }
  for (const compose::KeyEntry& key : compose::Vocabulary()) texts << Utf8(key.designCaption);
  texts.removeAll(QString());
  texts.removeDuplicates();
  return texts;
}

QImage Drawn(const QFont& font, const QString& text) {
  QImage image(640, 32, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setFont(font);
  painter.drawText(2, 22, text);
  return image;
}

TEST(EmbeddedFont, DrawsTheWindowsTextsLikeTheInstalledFont) {
  const QString family = EmbeddedFamily();
  if (family.isEmpty()) GTEST_SKIP() << "built without the embedded font";
  const QStringList texts = WindowTexts();
  ASSERT_GT(texts.size(), 250);
  for (FontRole role :
       {FontRole::Window, FontRole::BoldLabel, FontRole::LargeEdit, FontRole::BoldButton}) {
    const QFont embedded = FontFor(role);
    ASSERT_EQ(QFontInfo(embedded).family(), family);
    QFont installed = embedded;
    installed.setFamilies(embedded.families().mid(1));
    for (const QString& text : texts) {
      EXPECT_EQ(Drawn(embedded, text), Drawn(installed, text))
          << "'" << text.toStdString() << "' at " << embedded.pixelSize() << " px";
    }
  }
}

}  // namespace
}  // namespace zrt::window::testing
