// The operator's settings across two lifetimes of the window, and a settings
// file that makes no sense.
#include "window/memory/remembered_settings.h"

#include <QCheckBox>
#include <QFile>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>

#include "window_fixture.h"

namespace zrt::window::testing {
namespace {

class RememberedSettingsTest : public WindowTest {
 protected:
  QString File() const { return dir.filePath("zrt-panel.conf"); }
  void ClickItem(const char* group, int item) {
    Get(group)->findChildren<QRadioButton*>().value(item)->click();
  }

  QTemporaryDir dir;
  Answering answering;
};

TEST_F(RememberedSettingsTest, KeptFromOneRunToTheNext) {
  {
    QSettings settings(File(), QSettings::IniFormat);
    form->Remember(settings);
    form->SetMessagePresenter(answering);
    Get<QComboBox>("cbo1")->setEditText("/dev/zrt-gone");
    Get<QComboBox>("cob2")->setEditText("9600");
    Get<QLineEdit>("Edit2")->setText("77");
    ClickItem("rg3", 2);
    for (const char* line : {"77FREQ?", "77VPP?"}) {
      Get<QLineEdit>("Edit1")->setText(line);
      Click("btn96");  // the port is closed: said, and still in the history
    }
    guard::Limits limits;
    limits.a.maxFrequencyHz = 1e6;
    limits.b.minOffsetV = -2.5;
    form->Instrument().SetLimits(limits);
    form->SetLogHeight(150);
    form->SetInstrumentHeight(260);
    form->SetLogShown(true);
    form->findChild<QCheckBox*>("LogToFile")->click();
    form->Sharing().SetAddress("127.0.0.1", 0);  // any port: the switch is what is kept
    form->findChild<QCheckBox*>("ShareToggle")->click();
    Get<QComboBox>("ShareSpeech")->setCurrentIndex(1);  // SCPI
    form->move(120, 90);
    form.reset();
  }
  QSettings settings(File(), QSettings::IniFormat);
  form = std::make_unique<TForm1>(nullptr, link::SystemSerialPlatform(), usb);
  form->Sharing().SetAddress("127.0.0.1", 0);
  form->Remember(settings);
  form->show();
  EXPECT_EQ(Get<QComboBox>("cbo1")->currentText(), "/dev/zrt-gone");
  EXPECT_FALSE(form->PortOpen()) << "shown, not opened";
  EXPECT_EQ(Get<QComboBox>("cob2")->currentText(), "9600");
  EXPECT_EQ(Get<QLineEdit>("Edit2")->text(), "77");
  EXPECT_EQ(form->CurrentLanguage(), Language::TraditionalChinese);
  EXPECT_EQ(Button("btn96")->text(), "發送");
  EXPECT_EQ(form->History().Lines(), (QStringList{"77VPP?", "77FREQ?"}));
  EXPECT_EQ(form->pos(), QPoint(120, 90));
  EXPECT_TRUE(form->LogShown());
  EXPECT_EQ(form->height(), 502 + 150);
  EXPECT_EQ(form->InstrumentHeight(), 260);
  EXPECT_TRUE(form->LogToFile());
  EXPECT_TRUE(form->findChild<QCheckBox*>("LogToFile")->isChecked());
  EXPECT_TRUE(form->Sharing().On());
  EXPECT_TRUE(form->Sharing().Scpi());
  EXPECT_EQ(Get<QComboBox>("ShareSpeech")->currentText(), "SCPI");
  EXPECT_EQ(form->Instrument().Limits().a.maxFrequencyHz, 1e6);
  EXPECT_EQ(form->Instrument().Limits().b.minOffsetV, -2.5);
  EXPECT_EQ(form->Session().Limits(), form->Instrument().Limits()) << "held by the session";
}

TEST_F(RememberedSettingsTest, ADamagedFileLeavesTheWindowsOwn) {
  QFile file(File());
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("[General]\nlanguage=9\ninterface=banana\nport=\nbaudRate=" + QByteArray(5000, '9') +
             "\nhistory=@Variant(\\0\\0\\xff)\nwindowPosition=@Point(99999 99999)\n"
             "limits=\"[A]\\nmax_frequency_hz = lots\"\n"
             "\xff\xfe[[[ =\n");
  file.close();
  QSettings settings(File(), QSettings::IniFormat);
  form->Remember(settings);
  EXPECT_EQ(Get<QComboBox>("cbo1")->currentText(), "COM1");
  EXPECT_EQ(Get<QComboBox>("cob2")->currentText(), "19200");
  EXPECT_EQ(form->CurrentLanguage(), Language::English);
  EXPECT_EQ(Get<RadioGroup>("rg2")->ItemIndex(), 0);
  EXPECT_TRUE(form->History().Lines().isEmpty());
  EXPECT_NE(form->pos(), QPoint(99999, 99999));
  EXPECT_FALSE(form->Instrument().Limits().Any());
  ASSERT_EQ(form->Log().Size(), 1);
  EXPECT_TRUE(form->Log().At(0).text.startsWith("The settings in " + File()));
}

// Settings that cannot be written (a portable copy on a read-only medium)
// are said to be kept for this run only, once.
TEST_F(RememberedSettingsTest, SettingsThatCannotBeWrittenAreSaidOnce) {
  QSettings settings("/proc/zrt-panel-test/zrt-panel.ini", QSettings::IniFormat);
  form->Remember(settings);
  Get<QLineEdit>("Edit2")->setText("77");
  Get<QLineEdit>("Edit2")->setText("78");
  ASSERT_EQ(form->Log().Size(), 1);
  EXPECT_TRUE(form->Log().At(0).text.startsWith("The settings cannot be kept in /proc/"));
}

}  // namespace
}  // namespace zrt::window::testing
