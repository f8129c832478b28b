// Renders the window in each language to PNG files in the build tree, to be
// looked at: every caption readable, nothing clipped.
#include <QDir>
#include <QImage>
#include <QLineEdit>

#include "pty_pair.h"
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

// A port open, a line sent and the log shown below: the status panes, the
// status line and the log's controls.
TEST_F(ScreenshotTest, RendersASessionWithItsLog) {
  link::testing::PtyPair pty;
  Get<QComboBox>("cbo1")->setEditText(QString::fromStdString(pty.TerminalPath()));
  Click("btn106");
  ASSERT_TRUE(form->PortOpen());
  Get<QLineEdit>("Edit1")->setText("88CHA:AFREQ?");
  Click("btn96");
  ASSERT_TRUE(QTest::qWaitFor([&] { return Button("btn96")->isEnabled(); }, 10000));
  form->SetLogShown(true);
  QTest::qWait(300);  // the log's scroll bars follow a moment later
  const QImage image = form->grab().toImage();
  EXPECT_EQ(image.height(), 502 + form->LogHeight());
  EXPECT_TRUE(image.save(QDir(ZRT_SCREENSHOT_DIR).filePath("session.png"), "PNG"));
}

}  // namespace
}  // namespace zrt::window::testing
