// The Instrument page's function forms: every item of every form, in every
// unit of its group, sends the line the key panels compose for the same
// keys; a sweep's trigger holds and shows where the sweep is; the counter
// measures again until the port goes.
#include "window/instrument/function_form.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSignalSpy>
#include <optional>

#include "compose/availability.h"
#include "heard_instrument.h"
#include "settings/units.h"
#include "window/instrument/instrument_view.h"
#include "window/instrument/value_editor.h"
#include "window_fixture.h"

namespace zrt::window::testing {
namespace {

using FunctionFormTest = WindowTest;

// The prefix a unit is typed with after its number (none: the base unit).
std::optional<char> PrefixOf(const settings::Unit& unit) {
  if (unit.factor == 1e6) return 'M';
  if (unit.factor == 1e3) return 'k';
  if (unit.factor == 1e-3) return 'm';
  return std::nullopt;
}

TEST_F(FunctionFormTest, EveryFormSendsWhatTheKeysCompose) {
  form->SetInstrumentShown(true);
  InstrumentView* view = form->Instrument().View();
  QSignalSpy chosen(view, &InstrumentView::SettingChosen);
  int compared = 0;
  for (int function : compose::ButtonKeys(compose::KeyClass::Function)) {
    if (function <= 1) continue;  // the channels' table
    view->ChooseFunction(function);
    FunctionForm* functionForm = view->Form(function);
    ASSERT_TRUE(functionForm) << function;
    // Exactly the items its function key enables, each once.
    EXPECT_EQ(functionForm->findChildren<ValueEditor*>().size() +
                  functionForm->findChildren<QPushButton*>().size(),
              compose::ItemsForFunction(function).size())
        << function;
    for (int item : compose::ItemsForFunction(function)) {
      const compose::KeyEntry* key = compose::FindKey(item);
      auto* editor = functionForm->findChild<ValueEditor*>(
          "Item" + QString::fromLatin1(key->keyText.data(), key->keyText.size()));
      if (!editor) continue;  // a button: no value
      // The base unit first, while the field is as new: a prefix used
      // keeps its unit from then on.
      std::vector<settings::Unit> units;
      for (const settings::Unit& unit : settings::Units()) {
        if (unit.group == key->unitGroup)
          units.insert(unit.factor == 1 ? units.begin() : units.end(), unit);
      }
      for (const settings::Unit& unit : units) {
        // In the form: 12 and the unit's prefix, as typed.
        editor->setFocus();
        editor->StartFrom(std::nullopt);
        for (char typed : {'1', '2'}) QTest::keyClick(editor, typed);
        if (const auto prefix = PrefixOf(unit)) {
          QTest::keyClick(editor, *prefix);
        } else {
          QTest::keyClick(editor, Qt::Key_Return);
        }
        ASSERT_FALSE(chosen.isEmpty()) << key->keyText << " " << unit.text;
        const QString sent = "88" + chosen.takeLast().at(1).toString();
        // On the key panels: address, function, ":", item, 1, 2, unit.
        Click("btn100");
        Click("btn101");
        Button(QString::fromLatin1(compose::FindKey(function)->button.data()))->click();
        Click("Button94");
        Button(QString::fromLatin1(key->button.data()))->click();
        Key(102)->click();
        Key(103)->click();
        for (int code : compose::UnitsForGroup(unit.group)) {
          if (compose::KeyText(code) == unit.text) Key(code)->click();
        }
        EXPECT_EQ(sent, Line()) << key->keyText << " " << unit.text;
        ++compared;
      }
    }
  }
  EXPECT_GT(compared, 40);

  // Captions are the keys' in the operator's language.
  form->SelectLanguage(Language::TraditionalChinese);
  auto* start = view->Form(2)->findChild<ValueEditor*>("ItemSTARF");
  EXPECT_EQ(start->accessibleName(), "始點頻率");
}

// Into an empty field: what is typed goes out, 0 too; nothing typed sends
// nothing; a value the guard refuses leaves the field empty again.
TEST(ValueTypedIntoAnEmptyField, GoesOutAsTyped) {
  struct Case {
    const char* typed;  // then Enter ('\t': leaving the field instead)
    std::optional<QString> sent;
    bool emptyAfter = false;
  };
  const Case cases[] = {
      {"0", "FSWP:MODEL0No."},  {"1", "FSWP:MODEL1No."},   {"0\t", "FSWP:MODEL0No."},
      {"", std::nullopt, true}, {"9", std::nullopt, true},
  };
  for (const Case& c : cases) {
    QWidget window;
    FunctionForm sweep(2, {}, &window);
    sweep.SetGuard([](const std::string& setting) -> std::optional<std::string> {
      if (setting.find("MODEL9") != std::string::npos) return "no such mode";
      return std::nullopt;
    });
    const settings::InstrumentSettings known;
    sweep.Show(known, Language::English);
    QSignalSpy chosen(&sweep, &FunctionForm::SettingChosen);
    auto* editor = sweep.findChild<ValueEditor*>("ItemMODEL");
    ASSERT_TRUE(editor);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    editor->setFocus();
    std::string typed = c.typed;
    const bool leaves = !typed.empty() && typed.back() == '\t';
    if (leaves) typed.pop_back();
    for (char key : typed) QTest::keyClick(editor, key);
    if (leaves) {
      editor->clearFocus();
    } else {
      QTest::keyClick(editor, Qt::Key_Return);
    }
    EXPECT_EQ(chosen.size(), c.sent ? 1 : 0) << c.typed;
    if (c.sent && !chosen.isEmpty()) {
      EXPECT_EQ(chosen.first().at(1).toString(), *c.sent);
    }
    EXPECT_EQ(editor->findChild<QLineEdit*>()->text().isEmpty(), c.emptyAfter) << c.typed;
  }
}

// The forms against the simulated instrument.
class FunctionFormOnAPort : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    heard.emplace();
    Get<QComboBox>("cbo1")->setEditText(QString::fromStdString(heard->instrument.TerminalPath()));
    Click("btn106");
    ASSERT_TRUE(form->PortOpen());
    form->SetInstrumentShown(true);
  }
  FunctionForm* Choose(int function) {
    form->Instrument().View()->ChooseFunction(function);
    return form->Instrument().View()->Form(function);
  }
  bool HeardSoon(const QString& frame) {
    return QTest::qWaitFor([&] { return heard->Frames().contains(frame); }, 10000);
  }
  std::optional<Heard> heard;
};

// The amplitude sweep's trigger holds the next line for the instrument's
// time, its button shows the time left, and a bar where the sweep is.
TEST_F(FunctionFormOnAPort, TheSweepTriggerHoldsAndShowsWhereTheSweepIs) {
  FunctionForm* sweep = Choose(3);
  ASSERT_TRUE(sweep);
  for (const auto& [name, typed] : {std::pair{"ItemSTARA", "1"}, std::pair{"ItemSTOPA", "2"},
                                    std::pair{"ItemSTEPA", "100m"}, std::pair{"ItemINTVL", "1"}}) {
    auto* editor = sweep->findChild<ValueEditor*>(name);
    editor->setFocus();
    for (const char* key = typed; *key; ++key) QTest::keyClick(editor, *key);
    QTest::keyClick(editor, Qt::Key_Return);
  }
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return form->Session().Known().Find("ASWP", "INTVL"); }, 10000));
  // When the next line starts, measured from the trigger's end: only ever
  // longer on a busy machine.
  QElapsedTimer sinceTrigger;
  qint64 nextAfter = -1;
  QObject::connect(&form->Session(), &session::LineSession::FrameDone,
                   [&](const session::Frame& frame) {
                     if (frame.text.endsWith("TRIGG")) sinceTrigger.start();
                   });
  QObject::connect(&form->Session(), &session::LineSession::FrameOnWire,
                   [&](const session::Frame& frame) {
                     if (frame.text.contains("STARA2m")) nextAfter = sinceTrigger.elapsed();
                   });
  auto* trigger = sweep->findChild<QPushButton*>("ItemTRIGG");
  auto* start = sweep->findChild<ValueEditor*>("ItemSTARA");
  const int startAt = start->y();
  trigger->click();
  start->setFocus();
  start->StartFrom(std::nullopt);
  for (char key : {'2', 'm'}) QTest::keyClick(start, key);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !trigger->isEnabled(); }, 5000));
  EXPECT_TRUE(trigger->text().startsWith("Single Trigger (")) << trigger->text().toStdString();
  auto* bar = sweep->findChild<QProgressBar*>("SweepProgress");
  ASSERT_TRUE(QTest::qWaitFor([&] { return bar->isVisible() && bar->value() > 0; }, 10000));
  EXPECT_TRUE(bar->text().contains("s left; now near")) << bar->text().toStdString();
  EXPECT_EQ(start->y(), startAt) << "the bar pushed the items down";
  ASSERT_TRUE(QTest::qWaitFor([&] { return trigger->isEnabled(); }, 10000));
  EXPECT_EQ(trigger->text(), "Single Trigger");
  EXPECT_TRUE(HeardSoon("XASWP:STARA2mVpp"));
  EXPECT_GE(nextAfter, 2900) << "the line went inside the hold";
}

// The counter measures again every half second until its port goes.
TEST_F(FunctionFormOnAPort, TheCounterRepeatsUntilThePortGoes) {
  FunctionForm* counter = Choose(10);
  ASSERT_TRUE(counter);
  auto* reading = counter->findChild<QLabel*>("Reading");
  EXPECT_EQ(reading->text(), "— Hz (no reading yet)");
  counter->findChild<QPushButton*>("ItemMEASF")->click();
  ASSERT_TRUE(HeardSoon("XCOUNT:MEASF?"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return reading->text() == "0 Hz"; }, 10000))
      << reading->text().toStdString();
  auto* repeat = counter->findChild<QComboBox*>("RepeatEvery");
  repeat->setCurrentIndex(repeat->findData(0.5));
  ASSERT_TRUE(QTest::qWaitFor([&] { return heard->Frames().count("XCOUNT:MEASF?") >= 3; }, 20000));
  heard.reset();  // the port's other end goes
  ASSERT_TRUE(QTest::qWaitFor([&] { return !counter->Repeating(); }, 10000));
  EXPECT_EQ(repeat->currentIndex(), 0);
  EXPECT_EQ(LogTexts().filter(QRegularExpression("^Measuring again stopped: ")).size(), 1);
}

}  // namespace
}  // namespace zrt::window::testing
