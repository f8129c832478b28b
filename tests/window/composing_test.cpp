#include "window_fixture.h"

namespace zrt::window::testing {
namespace {

using ComposingTest = WindowTest;

const std::set<QString> kAllUnits =
    Names({"Button78", "Button79", "Button80", "Button81", "Button82", "Button83", "Button84",
           "Button85", "Button86", "Button87", "Button88", "Button89", "Button90", "Button91",
           "Button92", "Button93", "Button99", "Button105"});

TEST_F(ComposingTest, ClickSequenceNarrowsItemsAndUnits) {
  const std::set<QString> allItems = EnabledItems();
  ASSERT_EQ(allItems.size(), 55u);
  ASSERT_EQ(EnabledUnits(), kAllUnits);

  Click("btn101");  // Address
  EXPECT_EQ(Line(), "88");
  EXPECT_EQ(EnabledItems(), allItems);

  Click("Button4");  // amplitude sweep
  const std::set<QString> sweepItems =
      Names({"Button14", "Button17", "Button34", "Button35", "Button36", "Button37", "Button38",
             "Button39", "Button109"});
  EXPECT_EQ(EnabledItems(), sweepItems);
  EXPECT_EQ(EnabledUnits(), kAllUnits);
  EXPECT_EQ(Line(), "88ASWP");

  Click("Button94");  // "："
  EXPECT_EQ(EnabledItems(), sweepItems);
  EXPECT_EQ(EnabledUnits(), kAllUnits);
  EXPECT_EQ(Line(), "88ASWP:");

  Click("Button37");  // single trigger: no units
  EXPECT_EQ(EnabledItems(), sweepItems);
  EXPECT_TRUE(EnabledUnits().empty());
  EXPECT_EQ(Line(), "88ASWP:TRIGG");

  Click("Button14");  // channel A frequency
  EXPECT_EQ(EnabledItems(), sweepItems);
  EXPECT_EQ(EnabledUnits(), Names({"Button78", "Button79", "Button80", "Button81"}));
  EXPECT_EQ(Line(), "88ASWP:TRIGGAFREQ");

  Click("Button72");
  Click("Button76");
  Click("Button75");
  Click("Button79");
  EXPECT_EQ(Line(), "88ASWP:TRIGGAFREQ1.0kHz");
  EXPECT_EQ(EnabledUnits(), Names({"Button78", "Button79", "Button80", "Button81"}));

  Click("Button100");  // A burst: "B路幅度" appears, the units stay
  EXPECT_EQ(EnabledItems(), Names({"Button36", "Button37", "Button42", "Button52", "Button53",
                                   "Button54", "Button110", "Button111"}));
  EXPECT_EQ(EnabledUnits(), Names({"Button78", "Button79", "Button80", "Button81"}));

  Click("Button21");  // offset is not offered under a burst: the click does nothing
  EXPECT_EQ(Line(), "88ASWP:TRIGGAFREQ1.0kHzABURST");
  Click("Button52");
  EXPECT_EQ(Line(), "88ASWP:TRIGGAFREQ1.0kHzABURSTCARRA");
  EXPECT_EQ(EnabledUnits(), Names({"Button82", "Button83"}));

  for (const char* always : {"Button102", "Button103", "Button104"}) {
    EXPECT_TRUE(Button(always)->isEnabled()) << always;
  }
}

TEST_F(ComposingTest, AmplitudeItemIsLostAfterTheFirstFunction) {
  EXPECT_TRUE(Button("Button41")->isEnabled());
  for (const compose::KeyEntry& key : compose::Vocabulary()) {
    if (compose::ClassOf(key.code) != compose::KeyClass::Function || key.button.empty()) continue;
    Click(QString::fromUtf8(key.button.data(), key.button.size()));
    EXPECT_FALSE(Button("Button41")->isEnabled()) << key.button;
  }
}

TEST_F(ComposingTest, EveryKeyButtonAppendsItsOwnText) {
  for (const compose::KeyEntry& key : compose::Vocabulary()) {
    if (key.button.empty()) continue;
    Click("btn100");
    Key(key.code)->setEnabled(true);  // availability is not under test here
    QTest::mouseClick(Key(key.code), Qt::LeftButton);
    EXPECT_EQ(Line(), QString::fromLatin1(key.keyText.data(), key.keyText.size())) << key.button;
  }
}

TEST_F(ComposingTest, TypedTextIsKeptAndKeysAppendAtTheEnd) {
  auto* line = Get<QLineEdit>("Edit1");
  line->setFocus();
  QTest::keyClicks(line, "FREQ");
  line->setCursorPosition(1);
  line->setSelection(0, 2);
  Click("Button66");
  EXPECT_EQ(Line(), "FREQ7");
}

TEST_F(ComposingTest, ClearEmptiesOnlyTheLine) {
  Click("Button1");
  Click("Button20");
  const std::map<QString, bool> before = AllEnabled();
  Click("btn100");
  EXPECT_TRUE(Line().isEmpty());
  EXPECT_EQ(AllEnabled(), before) << "Clear restores no availability";
  Click("Button90");
  EXPECT_EQ(Line(), "DEG");
}

TEST_F(ComposingTest, AddressReplacesTheWholeLine) {
  Click("Button2");
  Get<QLineEdit>("Edit2")->setText("12");
  Click("btn101");
  EXPECT_EQ(Line(), "12");
  Click("btn101");
  EXPECT_EQ(Line(), "12");
}

TEST_F(ComposingTest, LongLinesAreNotCut) {
  const QString longLine(40000, QChar('7'));
  Get<QLineEdit>("Edit1")->setText(longLine);
  Click("Button67");
  EXPECT_EQ(Line().size(), 40001);
  EXPECT_TRUE(Line().endsWith("78"));
}

}  // namespace
}  // namespace zrt::window::testing
