#include <QLabel>
#include <QRadioButton>
#include <QTabWidget>

#include "window_fixture.h"

namespace zrt::window::testing {
namespace {

class LanguageTest : public WindowTest {
 protected:
  // Picks a language the way the operator does: a click on its radio button.
  void Choose(int index) {
    Get<QTabWidget>("pcon1")->setCurrentWidget(Get("tsh1"));
    QList<QRadioButton*> buttons = Get("rg3")->findChildren<QRadioButton*>();
    ASSERT_EQ(buttons.size(), 3);
    QTest::mouseClick(buttons[index], Qt::LeftButton);
    ASSERT_EQ(Get<RadioGroup>("rg3")->ItemIndex(), index);
  }
};

TEST_F(LanguageTest, ChineseAndBackRestoresEveryCaption) {
  const std::map<QString, QString> english = AllCaptions();
  Choose(1);
  EXPECT_EQ(Button("Button1")->text(), "A路单频");
  EXPECT_EQ(Caption(Get("tsh1")), "参数选择");
  EXPECT_EQ(Button("btn106")->text(), "关闭");
  EXPECT_NE(AllCaptions(), english);
  Choose(0);
  EXPECT_EQ(AllCaptions(), english);
  EXPECT_EQ(Caption(Get("tsh1")), "Parameter select ");
  EXPECT_EQ(Button("Button101")->text(), "BBurs tB");
}

TEST_F(LanguageTest, SimplifiedTableKeepsItsBlanks) {
  Choose(1);
  EXPECT_EQ(Button("Button112")->text(), "TTLA 频率");
  EXPECT_EQ(Button("Button113")->text(), "TTLA 占空比");
  EXPECT_EQ(Button("Button114")->text(), "TTLB 频率");
  EXPECT_EQ(Button("Button115")->text(), "TTLB 占空比");
  EXPECT_EQ(Button("Button96")->text(), "TTL");
  EXPECT_EQ(Button("Button116")->text(), "任意波");
}

TEST_F(LanguageTest, TraditionalTable) {
  Choose(2);
  EXPECT_EQ(Caption(Get("tsh3")), "頁麵1");
  EXPECT_EQ(Caption(Get("tsh2")), "參數设置");
  EXPECT_EQ(Caption(Get("rg3")), "语言選擇");
  EXPECT_EQ(Button("Button3")->text(), "A路扫频");
  EXPECT_EQ(Button("Button13")->text(), "係統");
  EXPECT_EQ(Button("btn106")->text(), "關閉");
  EXPECT_EQ(Get<QLabel>("lbel2")->text(), "數據顯示");
  EXPECT_EQ(Button("Button116")->text(), "任意波");
}

TEST_F(LanguageTest, UnlistedControlsKeepTheirCaptions) {
  const std::map<QString, QString> start = AllCaptions();
  const QStringList unlisted = {"Button116", "Button96",  "Button66", "Button76",
                                "Button94",  "Button105", "Label1",   "pnpproce"};
  for (int language : {1, 2, 0, 2}) {
    Choose(language);
    for (const QString& name : unlisted) {
      EXPECT_EQ(Caption(Get(name)), start.at(name)) << name.toStdString() << " in " << language;
    }
    EXPECT_EQ(form->windowTitle(), "ZRT10XX/ZRT30XXCH");
  }
}

TEST_F(LanguageTest, SwitchChangesNoStateButCaptions) {
  Click("Button1");
  Click("Button37");  // disabled under A_Sine: no change
  Click("Button20");
  Get<QLineEdit>("Edit2")->setText("7");
  Get<QComboBox>("cob2")->setEditText("300");
  const std::map<QString, bool> enabled = AllEnabled();
  const QString line = Line();
  for (int language : {1, 2, 0}) {
    Choose(language);
    EXPECT_EQ(AllEnabled(), enabled) << language;
  }
  EXPECT_EQ(Line(), line);
  EXPECT_EQ(Get<QLineEdit>("Edit2")->text(), "7");
  EXPECT_EQ(Get<QComboBox>("cob2")->currentText(), "300");
  EXPECT_EQ(Get<RadioGroup>("rg2")->ItemIndex(), 0);
  EXPECT_EQ(Get<QTabWidget>("pcon1")->currentWidget(), Get("tsh1"));
}

}  // namespace
}  // namespace zrt::window::testing
