// The panel's one window: five key panels from which a command line is
// composed, the command line with Send and Clear, the reply box and the
// settings pages. Controls carry their design names as Qt object names.
#pragma once

#include <QWidget>

#include "compose/composer.h"
#include "link/tcomm.h"
#include "window/caption_table.h"
#include "window/key_buttons.h"
#include "window/window_builder.h"

class QLineEdit;

namespace zrt::window {

class TForm1 : public QWidget {
  Q_OBJECT

 public:
  explicit TForm1(QWidget* parent = nullptr);
  ~TForm1() override;

  // The control with this object name, or nullptr.
  QWidget* Control(const QString& name) const { return controls_.byName.value(name); }

  // True from the moment the Open/Close button starts opening the serial port
  // until the port is closed again; names the Open/Close button's caption.
  bool PortOpen() const { return portOpen_; }

  // The serial-port component the window talks to the instrument through.
  link::TComm& Comm1() { return *comm1_; }

  // The language the operator selected.
  Language CurrentLanguage() const;

  // Selects a language in the language group, as the operator's click would.
  void SelectLanguage(Language language);

  // Applies one language's captions in table order; a control the table does
  // not list keeps its caption.
  void ApplyCaptions(Language language);
  void SetEnglishCaptions() { ApplyCaptions(Language::English); }

  void DisableAllFunctions() { SetFunctionsEnabled(false); }
  void EnableAllFunctions() { SetFunctionsEnabled(true); }

 private slots:
  void btn100Click();
  void btn101Click();
  void rg3Click();

 private:
  void FormCreate();
  void SetFunctionsEnabled(bool enabled);
  QLineEdit* Edit(const char* name) const;

  BuiltControls controls_;
  KeyButtons keys_;
  compose::Composer composer_;
  link::TComm* comm1_;  // owned as a child object
  bool portOpen_ = false;
};

}  // namespace zrt::window
