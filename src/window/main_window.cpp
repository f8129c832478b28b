#include "window/main_window.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "compose/key_vocabulary.h"
#include "window/artwork.h"
#include "window/control_caption.h"
#include "window/fonts.h"
#include "window/layout_table.h"
#include "window/radio_group.h"
#include "window/window_builder.h"

namespace zrt::window {
namespace {

// Each label names the field beside it, for screen readers and for Alt+letter
// navigation should a caption ever gain a mnemonic.
constexpr std::pair<const char*, const char*> kLabelBuddies[] = {
    {"lbel1", "Edit1"},
    {"lbel2", "Edit3"},
    {"lbe3", "cob2"},
    {"lbe4", "cbo1"},
};

}  // namespace

TForm1::TForm1(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      controls_(BuildControls(this)),
      keys_(Edit("Edit1")),
      composer_(keys_),
      comm1_(new link::TComm(this)) {
  setObjectName("Form1");
  setWindowTitle(QString::fromUtf8(kWindowTitle.data(), kWindowTitle.size()));
  setWindowIcon(WindowIcon());
  setFont(FontFor(FontRole::Window));
  setFixedSize(kClientWidth, kClientHeight);
  move(kWindowLeft, kWindowTop);

  for (const KeyButton& key : controls_.keys) {
    keys_.Bind(key.code, key.button);
    connect(key.button, &QPushButton::clicked, this,
            [this, code = key.code] { composer_.HandleKey(code); });
  }

  for (const auto& [label, field] : kLabelBuddies) {
    qobject_cast<QLabel*>(Control(label))->setBuddy(Control(field));
  }
  Edit("Edit2")->setAccessibleName("Instrument address");

  // The window's port differs from a new component only in name and rate,
  // which match the port and baud-rate boxes.
  comm1_->setObjectName("Comm1");
  comm1_->SetCommName("COM1");
  comm1_->SetBaudRate(19200);

  connect(qobject_cast<QPushButton*>(Control("btn100")), &QPushButton::clicked, this,
          &TForm1::btn100Click);
  connect(qobject_cast<QPushButton*>(Control("btn101")), &QPushButton::clicked, this,
          &TForm1::btn101Click);
  connect(qobject_cast<RadioGroup*>(Control("rg3")), &RadioGroup::Clicked, this, &TForm1::rg3Click);

  FormCreate();
}

TForm1::~TForm1() = default;

QLineEdit* TForm1::Edit(const char* name) const { return qobject_cast<QLineEdit*>(Control(name)); }

Language TForm1::CurrentLanguage() const {
  return static_cast<Language>(qobject_cast<RadioGroup*>(Control("rg3"))->ItemIndex());
}

void TForm1::FormCreate() {
  SetEnglishCaptions();
  composer_.ResetUnitGroup();
  Control("Memo1")->hide();
  Control("pnpproce")->hide();
  portOpen_ = false;
  DisableAllFunctions();
  EnableAllFunctions();
  Control("Image1")->hide();
}

void TForm1::ApplyCaptions(Language language) {
  for (const CaptionRow& row : CaptionTable()) {
    if (const char* caption = CaptionFor(row, language, portOpen_)) {
      const QString name = QString::fromUtf8(row.control.data(), row.control.size());
      SetCaption(Control(name), QString::fromUtf8(caption));
    }
  }
}

void TForm1::SetFunctionsEnabled(bool enabled) {
  for (int code : compose::ButtonKeys(compose::KeyClass::Function)) {
    keys_.Button(code)->setEnabled(enabled);
  }
}

void TForm1::btn100Click() { Edit("Edit1")->setText(QString()); }

void TForm1::btn101Click() { Edit("Edit1")->setText(Edit("Edit2")->text()); }

void TForm1::SelectLanguage(Language language) {
  qobject_cast<RadioGroup*>(Control("rg3"))->SetItemIndex(static_cast<int>(language));
  rg3Click();
}

void TForm1::rg3Click() {
  switch (qobject_cast<RadioGroup*>(Control("rg3"))->ItemIndex()) {
    case 0:
      SetEnglishCaptions();
      break;
    case 1:
      ApplyCaptions(Language::SimplifiedChinese);
      break;
    case 2:
      ApplyCaptions(Language::TraditionalChinese);
      break;
    default:
      break;
  }
}

}  // namespace zrt::window
