// The panel's one window: five key panels from which a command line is
// composed, the command line with Send and Clear, the reply box and the
// settings pages. Controls carry their design names as Qt object names.
// The window builds its form, keeps its handlers and wires the parts that
// do the work: lines go out through the session (WindowSender), the port's
// controls are PortControl's, and the log below the window is LogArea's.
#pragma once

#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>

#include "compose/composer.h"
#include "link/ch375_library.h"
#include "link/tcomm.h"
#include "session/line_session.h"
#include "window/form/caption_table.h"
#include "window/form/key_buttons.h"
#include "window/form/window_builder.h"
#include "window/instrument/instrument_control.h"
#include "window/log/log_area.h"
#include "window/log/session_log.h"
#include "window/port/port_control.h"
#include "window/port/share_control.h"
#include "window/port/status_line.h"
#include "window/send/announcer.h"
#include "window/send/command_history.h"
#include "window/send/operator_messages.h"
#include "window/send/reply_box.h"
#include "window/send/window_sender.h"

class QLineEdit;
class QSettings;
class QStatusBar;

namespace zrt::link {
class UsbLink;
}  // namespace zrt::link

namespace zrt::window {

class LogPanel;
class SequenceBar;

class TForm1 : public QWidget {
  Q_OBJECT

 public:
  // The window talks to the instrument through `serialPlatform` and
  // `usbLibrary` (the system's serial ports and USB by default).
  explicit TForm1(QWidget* parent = nullptr,
                  link::SerialPlatform& serialPlatform = link::SystemSerialPlatform(),
                  link::Ch375Library& usbLibrary = link::SystemCh375Library());
  // Closes the USB device once more.
  ~TForm1() override;

  // The control with this object name, or nullptr.
  QWidget* Control(const QString& name) const { return controls_.byName.value(name); }

  // True while the serial port is open from the window; names the
  // Open/Close button's caption.
  bool PortOpen() const { return ports_->Open(); }

  // The serial-port component the window talks to the instrument through.
  link::TComm& Comm1() { return *comm1_; }
  // The USB device.
  link::UsbLink& Usb() { return *usb_; }

  // True from Send until the line is through: the last serial byte and the
  // pause after it, or the USB write and its reply. Send stays disabled
  // meanwhile.
  bool Sending() const;

  // Shows the window's messages through `presenter` instead of dialogs.
  void SetMessagePresenter(MessagePresenter& presenter) { messages_.SetPresenter(presenter); }

  // The language the operator selected.
  Language CurrentLanguage() const;

  // Selects a language in the language group, as the operator's click would.
  void SelectLanguage(Language language);

  // Applies one language's captions in table order; a control the table does
  // not list keeps its caption.
  void ApplyCaptions(Language language);
  void SetEnglishCaptions() { ApplyCaptions(Language::English); }

  // The lines sent, for Up and Down in the command line.
  CommandHistory& History() { return history_; }

  // The session log, and whether it shows below the window's original area
  // (the window then grows by the log's height, which the operator may
  // change by resizing the window).
  SessionLog& Log() { return logArea_->Log(); }
  QWidget* LogPanelWidget() const;  // nullptr until first shown
  bool LogShown() const { return logArea_->Shown(); }
  void SetLogShown(bool shown) { logArea_->SetShown(shown); }
  int LogHeight() const { return logArea_->Height(LogArea::Page::Log); }
  void SetLogHeight(int height) { logArea_->SetHeight(LogArea::Page::Log, height); }
  // 0 until the instrument's page has been shown or given a height.
  int InstrumentHeight() const { return logArea_->Height(LogArea::Page::View); }
  void SetInstrumentHeight(int height) { logArea_->SetHeight(LogArea::Page::View, height); }
  // The sequence controls, beside the log.
  SequenceBar& Sequences();  // made with the log's panel
  // Whether every log entry is also written to the day's file as it is added.
  bool LogToFile() const { return logArea_->ToFile(); }
  void SetLogToFile(bool on) { logArea_->SetToFile(on); }
  LogFile& LogFileWriter() { return logArea_->File(); }

  // Whether a serial port that went away is reopened when it comes back
  // (the status bar's switch), and what watches for it.
  bool ReopenPorts() const { return ports_->Reopens(); }
  void SetReopenPorts(bool reopen) { ports_->SetReopens(reopen); }
  // Restores the settings `settings` keeps, and keeps them as they change
  // (`settings` outlives the window).
  void Remember(QSettings& settings);
  link::PortWatch& PortWatcher() { return ports_->Watch(); }

  // The instrument shared with other programs (the status bar's switch).
  ShareControl& Sharing() { return *share_; }

  // What is known of the instrument's settings, its page below the window
  // (in the log's place, by its own switch), read back, limits and presets.
  InstrumentControl& Instrument() { return *instrument_; }
  bool InstrumentShown() const { return logArea_->ViewShown(); }
  void SetInstrumentShown(bool shown) { logArea_->SetViewShown(shown); }
  session::LineSession& Session() { return *session_; }

  void DisableAllFunctions() { SetFunctionsEnabled(false); }

  // Sends a line as Send sends the command line, on the interface chosen,
  // but neither remembers it in the history nor asks about a long line.
  // False when it did not begin (the reason is told as Send tells it);
  // otherwise FrameDone follows, or LineRefused when its turn comes.
  bool SendFromSequence(const QString& line) { return SendText(line, false); }
  // Whether a line may go out now: none of the window's is going out or
  // waiting its turn, and no hold follows one. (Other programs' lines may
  // be on the wire: the session queues the next behind them.)
  bool ReadyToSend() const { return sendReady_; }
  // Send stays disabled while a sequence runs.
  void SetSequenceRunning(bool running);

 signals:
  // A line's frame is through (false: it did not all go out) and, on USB,
  // its reply fetched.
  void FrameDone(bool sent);
  // A line of a sequence's was refused when its turn came (told as Send
  // tells it): beyond a limit (`breach`), or its rate refused (none).
  void LineRefused(const std::optional<guard::LimitBreach>& breach);
  // Send may be used again.
  void SendReady();
  // Bytes from the instrument, on either link.
  void BlockReceived(const QByteArray& block);
  // The serial port's device went away.
  void SerialLinkLost();
  // A line went out (or began to): History() has it.
  void LineSent();
  // The log was shown or hidden, or its height changed.
  void LogLayoutChanged();
  // The log is kept in a file, or no longer.
  void LogToFileChanged(bool on);

 public:
  void EnableAllFunctions() { SetFunctionsEnabled(true); }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool event(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private slots:
  void btn96Click();
  void btn100Click();
  void btn101Click();
  void btn106Click();
  void cbo1Change();
  void rg3Click();
  // Bytes from the serial port, for the source whose frame they answer.
  void Comm1ReceiveData(int source, const QByteArray& block);
  void Comm1RequestHangup();
  void Comm1OutputHeld(bool held);

 private:
  void FormCreate();
  void FormClose();
  // Starts the USB link's monitor and device, once.
  void StartUsb();
  void SetFunctionsEnabled(bool enabled);
  QStatusBar& StatusBar() const;
  QLineEdit* Edit(const char* name) const;
  QString Text(const char* name) const;
  // The status line and our own captions as the links stand now.
  void ShowLinkState();
  bool UsbOpened() const;

  WindowSender::Settings CurrentLineSettings() const;
  // What other programs' lines go with: the boxes as they are.
  session::LineSettings ClientLineSettings() const;
  // Whose a line is, for the log: empty for the window's own.
  QString Origin(int source) const;
  // The send of one line, in its steps: on the serial link byte by byte,
  // on USB in one write with the reply fetched after it. True when it began.
  bool SendText(const QString& text, bool byOperator);
  void SetSendReady(bool ready);
  void MakeSequences(LogPanel& panel);
  // Closing the window or a port action waits for the frame going out.
  bool DeferredForTheFrame(std::function<void()> action);
  // What the operator asked for while a frame went out, once it is out.
  void RunWhatWaitedForTheFrame();
  void FinishClosing();

  BuiltControls controls_;
  KeyButtons keys_;
  compose::Composer composer_;
  link::TComm* comm1_;             // owned as a child object
  link::UsbLink* usb_;             // owned as a child object
  session::LineSession* session_;  // owned as a child object
  DialogPresenter dialogs_;
  MessageQueue messages_;
  StatusLine* status_;                // owned as a child object
  LogArea* logArea_;                  // owned as a child object
  SequenceBar* sequences_ = nullptr;  // in the log's panel, once made
  Announcer say_;
  PortControl* ports_;   // owned as a child object
  ShareControl* share_;  // owned as a child object
  ReplyBox replies_;
  WindowSender* sender_;           // owned as a child object
  InstrumentControl* instrument_;  // owned as a child object
  CommandHistory history_;
  bool usbStarted_ = false;
  // The frame going out finishes before these: closing the window, and the
  // last port action asked for meanwhile.
  bool closeAfterFrame_ = false;
  std::function<void()> afterFrame_;
  bool sendReady_ = true;
  bool sequenceRunning_ = false;
  WindowSender::Settings runSettings_;  // taken when the run started
  QTimer closeHoldLimit_;
};

}  // namespace zrt::window
