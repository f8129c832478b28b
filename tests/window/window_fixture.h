// A freshly started panel window, shown, with helpers to reach its controls.
#pragma once

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <map>
#include <memory>
#include <ostream>
#include <set>

#include "compose/availability.h"
#include "compose/key_vocabulary.h"
#include "fake_ch375.h"
#include "link/usb_link.h"
#include "window/form/control_caption.h"
#include "window/form/radio_group.h"
#include "window/main_window.h"

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace zrt::window::testing {

// Answers every message at once, keeping what it said, and every question
// with `yes`.
struct Answering : MessagePresenter {
  void Present(const OperatorMessage& message, std::function<void()> answered) override {
    said << message.text;
    answered();
  }
  void Ask(const OperatorMessage& question, std::function<void(bool)> answered) override {
    said << question.text;
    answered(yes);
  }
  QStringList said;
  bool yes = true;
};

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form = std::make_unique<TForm1>(nullptr, link::SystemSerialPlatform(), usb);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->Usb().Started(); }, 5000));
  }

  template <typename T = QWidget>
  T* Get(const QString& name) const {
    // The window's own controls by name, then what stands around them.
    auto* control = qobject_cast<T*>(form->Control(name));
    if (!control) control = form->findChild<T*>(name);
    EXPECT_NE(control, nullptr) << name.toStdString();
    return control;
  }

  QPushButton* Button(const QString& name) const { return Get<QPushButton>(name); }
  QPushButton* Key(int code) const {
    const compose::KeyEntry* key = compose::FindKey(code);
    return Button(QString::fromUtf8(key->button.data(), key->button.size()));
  }
  QString Line() const { return Get<QLineEdit>("Edit1")->text(); }
  // The session log's events, in words.
  QStringList LogTexts() const {
    QStringList texts;
    for (int row = 0; row < form->Log().rowCount(); ++row) texts << form->Log().At(row).text;
    return texts;
  }

  void Click(const QString& name) const { QTest::mouseClick(Button(name), Qt::LeftButton); }

  // The object names of the enabled buttons among the given key codes.
  std::set<QString> EnabledButtons(std::span<const int> codes) const {
    std::set<QString> names;
    for (int code : codes) {
      if (Key(code)->isEnabled()) names.insert(Key(code)->objectName());
    }
    return names;
  }
  std::set<QString> EnabledItems() const { return EnabledButtons(compose::ManagedItemKeys()); }
  std::set<QString> EnabledUnits() const { return EnabledButtons(compose::UnitKeys()); }

  // Caption of every captioned control, by object name.
  std::map<QString, QString> AllCaptions() const {
    std::map<QString, QString> captions;
    for (QWidget* w : form->findChildren<QWidget*>()) {
      if (!w->objectName().isEmpty()) captions[w->objectName()] = Caption(w);
    }
    return captions;
  }

  std::map<QString, bool> AllEnabled() const {
    std::map<QString, bool> enabled;
    for (QWidget* w : form->findChildren<QWidget*>()) {
      if (!w->objectName().isEmpty()) enabled[w->objectName()] = w->isEnabled();
    }
    return enabled;
  }

  link::testing::FakeCh375 usb;  // no device plugged in unless a test says so
  std::unique_ptr<TForm1> form;
};

inline std::set<QString> Names(std::initializer_list<const char*> names) {
  std::set<QString> result;
  for (const char* name : names) result.insert(QString::fromLatin1(name));
  return result;
}

}  // namespace zrt::window::testing
