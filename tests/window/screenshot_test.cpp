// Renders the window in each language to PNG files in the build tree, to be
// looked at: every caption readable, nothing clipped.
#include <QDir>
#include <QImage>

#include "window_fixture.h"

namespace zrt::window::testing {
namespace {

using ScreenshotTest = WindowTest;

TEST_F(ScreenshotTest, RendersEachLanguage) {
  QDir().mkpath(ZRT_SCREENSHOT_DIR);
  const char* files[] = {"english.png", "simplified.png", "traditional.png"};
  for (int language : {0, 1, 2}) {
    form->SelectLanguage(static_cast<Language>(language));
    const QImage image = form->grab().toImage();
    ASSERT_EQ(image.size(), QSize(801, 502));
    // Something was drawn: the image is not one flat colour.
    EXPECT_NE(image.pixel(20, 40), image.pixel(60, 40)) << "function panel is empty";
    const QString path = QDir(ZRT_SCREENSHOT_DIR).filePath(files[language]);
    EXPECT_TRUE(image.save(path, "PNG")) << path.toStdString();
  }
}

}  // namespace
}  // namespace zrt::window::testing
