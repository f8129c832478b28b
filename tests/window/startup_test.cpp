#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>

#include "window/form/deferred_memo.h"
#include "window_fixture.h"

namespace zrt::window::testing {
namespace {

using StartupTest = WindowTest;

TEST_F(StartupTest, FrameIsFixedAndUnmaximisable) {
  EXPECT_EQ(form->windowTitle(), "ZRT10XX/ZRT30XXCH");
  EXPECT_EQ(form->size(), QSize(801, 502));
  EXPECT_EQ(form->minimumSize(), form->maximumSize()) << "the operator cannot resize";
  EXPECT_EQ(form->pos(), QPoint(201, 249));
  const Qt::WindowFlags flags = form->windowFlags();
  EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_FALSE(form->windowIcon().isNull());
  EXPECT_EQ(form->objectName(), "Form1");
}

TEST_F(StartupTest, ComesUpInEnglishWithThePortClosed) {
  EXPECT_EQ(Get<RadioGroup>("rg3")->ItemIndex(), 0);
  EXPECT_EQ(form->CurrentLanguage(), Language::English);
  EXPECT_FALSE(form->PortOpen());
  EXPECT_EQ(Button("btn106")->text(), "Close");
  EXPECT_EQ(Caption(Get("tsh1")), "Parameter select ");
  EXPECT_EQ(Button("Button101")->text(), "BBurs tB");
  EXPECT_EQ(Button("Button96")->text(), "TTL");
  EXPECT_EQ(Button("Button116")->text(), "任意波");
  EXPECT_EQ(Get<QLabel>("Label1")->text(), "Zara-vevez ovira 1000V10.05.00.02");

  // A sample of the English table, written out here rather than read back from it.
  const std::pair<const char*, const char*> english[] = {
      {"Button34", "Sweep Mode"}, {"Button37", "Single Trigger"},
      {"gbo3", "Input Data"},     {"tsh6", "Version"},
      {"lbel1", "Order"},         {"lbel2", "Display"},
      {"btn96", "Send"},          {"btn100", "Cancel"},
  };
  for (const auto& [name, caption] : english) EXPECT_EQ(Caption(Get(name)), caption) << name;
}

TEST_F(StartupTest, HiddenControlsAndEnabledKeys) {
  EXPECT_FALSE(Get("Memo1")->isVisible());
  EXPECT_FALSE(Get("pnpproce")->isVisible());
  EXPECT_FALSE(Get("Image1")->isVisible());
  EXPECT_TRUE(Get("pnpproce")->winId()) << "plug events are posted to its native window";
  for (const compose::KeyEntry& key : compose::Vocabulary()) {
    if (key.button.empty()) continue;
    EXPECT_TRUE(Key(key.code)->isEnabled()) << key.button;
    EXPECT_TRUE(Key(key.code)->isVisible()) << key.button;
  }
}

// The hidden memo has no editor until it is shown; shown, it holds its line.
TEST_F(StartupTest, TheMemoMakesItsEditorWhenShown) {
  auto* memo = Get<DeferredMemo>("Memo1");
  EXPECT_EQ(memo->findChild<QPlainTextEdit*>(), nullptr);
  EXPECT_EQ(memo->Text(), "Memo1");
  memo->show();
  auto* editor = memo->findChild<QPlainTextEdit*>();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->toPlainText(), "Memo1");
  EXPECT_TRUE(QTest::qWaitFor([&] { return editor->geometry() == memo->rect(); }, 5000));
}

TEST_F(StartupTest, SettingsStartFromTheirStoredValues) {
  EXPECT_TRUE(Line().isEmpty());
  EXPECT_TRUE(Get<QLineEdit>("Edit3")->text().isEmpty());
  EXPECT_EQ(Get<QLineEdit>("Edit2")->text(), "88");

  auto* baud = Get<QComboBox>("cob2");
  EXPECT_TRUE(baud->isEditable());
  EXPECT_EQ(baud->currentText(), "19200");
  ASSERT_EQ(baud->count(), 10);
  EXPECT_EQ(baud->itemText(4), "14400");
  EXPECT_EQ(baud->itemText(9), "115200");

  auto* port = Get<QComboBox>("cbo1");
  EXPECT_TRUE(port->isEditable());
  EXPECT_EQ(port->currentText(), "COM1");
  ASSERT_EQ(port->count(), 10);
  EXPECT_EQ(port->itemText(9), "COM10");

  auto* interface = Get<RadioGroup>("rg2");
  EXPECT_EQ(interface->ItemCount(), 2);  // "RS232 ", "USB"
  EXPECT_EQ(interface->ItemIndex(), 0);
  EXPECT_EQ(Get<RadioGroup>("rg3")->ItemCount(), 3);

  auto* settings = Get<QTabWidget>("pcon1");
  EXPECT_EQ(settings->count(), 3);
  EXPECT_EQ(settings->currentWidget(), Get("tsh2"));
  EXPECT_EQ(Get<QTabWidget>("pcon2")->tabPosition(), QTabWidget::West);
  EXPECT_EQ(Get<QTabWidget>("pcon2")->count(), 1);
  EXPECT_EQ(Get<QTabWidget>("PageControl1")->count(), 1);
}

TEST_F(StartupTest, SerialPortIsClosedWithThePanelsSettings) {
  link::TComm& comm = form->Comm1();
  EXPECT_FALSE(comm.IsOpen());
  EXPECT_EQ(comm.objectName(), "Comm1");
  EXPECT_EQ(comm.CommName(), Get<QComboBox>("cbo1")->currentText().toStdString());
  EXPECT_EQ(QString::number(comm.BaudRate()), Get<QComboBox>("cob2")->currentText());
  link::CommProperties fresh;
  fresh.commName = comm.CommName();
  fresh.baudRate = comm.BaudRate();
  EXPECT_EQ(link::BuildCommState(comm.Properties()), link::BuildCommState(fresh));
  EXPECT_EQ(comm.Properties().timeouts, fresh.timeouts);
}

// The two panes say how the links stand, in the chosen language.
TEST_F(StartupTest, StatusBarShowsTheLinks) {
  auto* bar = Get<QStatusBar>("StatusBar1");
  const QList<QLabel*> panes = bar->findChildren<QLabel*>().mid(0, 2);
  ASSERT_EQ(panes.size(), 2);
  for (QLabel* pane : panes) EXPECT_EQ(pane->width(), 100);
  EXPECT_EQ(panes[0]->text(), "COM1 closed");
  EXPECT_EQ(panes[0]->toolTip(), "COM1 19200 bit/s: closed");
  EXPECT_EQ(Get<QLabel>("StatusText")->text(), "COM1 19200 bit/s: closed");
  EXPECT_EQ(panes[1]->toolTip(), "USB: not opened");
  Get<QComboBox>("cob2")->setEditText("9600");
  form->SelectLanguage(Language::TraditionalChinese);
  EXPECT_EQ(panes[0]->toolTip(), "COM1 9600 bit/s：已關閉");
  EXPECT_EQ(panes[1]->toolTip(), "USB：未開啟");
  usb.present = true;
  usb.Post(link::kPlugArrived);
  EXPECT_TRUE(QTest::qWaitFor([&] { return panes[1]->toolTip() == "USB：已開啟"; }, 5000));
}

TEST_F(StartupTest, FieldsAreAnnouncedByTheirLabels) {
  EXPECT_EQ(Get<QLabel>("lbel1")->buddy(), Get("Edit1"));
  EXPECT_EQ(Get<QLabel>("lbel2")->buddy(), Get("Edit3"));
  EXPECT_EQ(Get<QLabel>("lbe3")->buddy(), Get("cob2"));
  EXPECT_EQ(Get<QLabel>("lbe4")->buddy(), Get("cbo1"));
  EXPECT_EQ(Get("Edit2")->accessibleName(), "Instrument address");
}

TEST_F(StartupTest, FocusRunsThroughThePanelsInOrder) {
  // The item panel's chain: column 0, then column 1 with "B_Wave" after
  // "Single Trigger", column 2, column 4 down to "USB", column 3, "任意波".
  EXPECT_EQ(Button("Button114")->nextInFocusChain(), Button("Button26"));
  EXPECT_EQ(Button("Button37")->nextInFocusChain(), Button("Button29"));
  EXPECT_EQ(Button("Button104")->nextInFocusChain(), Button("Button50"));
  EXPECT_EQ(Button("Button61")->nextInFocusChain(), Button("Button116"));
}

// The USB link waits for the window's first paint, or starts anyway when no
// paint comes.
TEST_F(StartupTest, UsbStartsOnceTheWindowIsUp) {
  EXPECT_TRUE(form->Usb().Started()) << "shown and painted";
  link::testing::FakeCh375 library;
  TForm1 hidden(nullptr, link::SystemSerialPlatform(), library);
  EXPECT_FALSE(hidden.Usb().Started());
  EXPECT_TRUE(QTest::qWaitFor([&] { return hidden.Usb().Started(); }, 5000));
}

}  // namespace
}  // namespace zrt::window::testing
