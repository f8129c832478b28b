// The panel's one window: five key panels from which a command line is
// composed, the command line with Send and Clear, the reply box and the
// settings pages. Controls carry their design names as Qt object names.
#pragma once

#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>

#include "compose/composer.h"
#include "link/ch375_library.h"
#include "link/tcomm.h"
#include "session/line_session.h"
#include "window/caption_table.h"
#include "window/command_history.h"
#include "window/key_buttons.h"
#include "window/operator_messages.h"
#include "window/reply_flow.h"
#include "window/session_log.h"
#include "window/status_line.h"
#include "window/window_builder.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace zrt::link {
class PortWatch;
class UsbLink;
}  // namespace zrt::link

namespace zrt::window {

class LogFile;
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
  bool PortOpen() const { return portOpen_; }

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
  SessionLog& Log() { return *log_; }
  QWidget* LogPanelWidget() const;  // nullptr until the log is first shown
  bool LogShown() const { return logShown_; }
  void SetLogShown(bool shown);
  int LogHeight() const { return logHeight_; }
  void SetLogHeight(int height);
  // The sequence controls, beside the log.
  SequenceBar& Sequences();
  // Whether every log entry is also written to the day's file as it is added.
  bool LogToFile() const;
  void SetLogToFile(bool on);
  LogFile& LogFileWriter() { return *logFile_; }

  // Whether a serial port that went away is reopened when it comes back
  // (the status bar's switch), and what watches for it.
  bool ReopenPorts() const;
  void SetReopenPorts(bool reopen);
  link::PortWatch& PortWatcher() { return *portWatch_; }

  void DisableAllFunctions() { SetFunctionsEnabled(false); }

  // Sends a line as Send sends the command line, on the interface chosen,
  // but neither remembers it in the history nor asks about a long line.
  // False when it did not begin (the reason is told as Send tells it);
  // otherwise FrameDone follows.
  bool SendFromSequence(const QString& line) { return SendText(line, false); }
  // Whether a line may go out now: no frame going out, no hold after one.
  bool ReadyToSend() const { return sendReady_ && !Sending(); }
  // Send stays disabled while a sequence runs.
  void SetSequenceRunning(bool running);

 signals:
  // A line's frame is through (false: it did not all go out) and, on USB,
  // its reply fetched.
  void FrameDone(bool sent);
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
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private slots:
  void btn96Click();
  void btn100Click();
  void btn101Click();
  void btn106Click();
  void cbo1Change();
  void rg3Click();
  void Comm1ReceiveData(const QByteArray& block);
  void Comm1RequestHangup();
  void Comm1OutputHeld(bool held);
  void Comm1OpenFinished();

 private:
  void FormCreate();
  void EnsureLogPanel();
  // Opens comm1_ under its name as it is set; raises as OpenPort does.
  void OpenSerialPort();
  // The port is open: shown, watched for and its notes logged.
  void SerialPortOpened();
  void PortMayBeBack(const QString& name);
  // Logs what the port noted since it was last asked.
  void LogPortNotes();
  void FormClose();
  // Starts the USB link's monitor and device, once.
  void StartUsb();
  void SetFunctionsEnabled(bool enabled);
  QLineEdit* Edit(const char* name) const;
  QString Text(const char* name) const;

  // Runs an operator's action; what it raises is reported, not thrown on.
  void Guarded(const std::function<void()>& action);
  void ShowPortState(bool open);
  // The status line: the serial port and the USB device as they are now.
  void ShowLinkState();
  StatusLine::Serial SerialState() const;
  bool UsbOpened() const;
  void RefreshPortList();

  // What a line is sent with: the interface, the rate and the address.
  struct LineSettings {
    int link;
    QString rate;
    QString address;
  };
  LineSettings CurrentLineSettings() const;
  // The send of one line, in its steps: on the serial link byte by byte,
  // on USB in one write with the reply fetched after it. True when it began.
  bool SendText(const QString& text, bool byOperator);
  // The line as the session sends it; raises what Send reports.
  session::Frame PrepareLine(int source, const QString& text, const LineSettings& settings);
  void Remember(const QString& text);
  void SetSendReady(bool ready);
  void SendFrame(const session::Frame& frame);
  void FrameSent(const session::Frame& frame, bool everyByteHandedOver, qsizetype handedOver);
  void UsbTransferred(const session::Frame& frame, bool written, const QByteArray& reply);
  // The operator has answered what was said of a frame that did not go out.
  void Answered(const session::Frame& frame);
  // A line that did not go out on `link`: one event in the log, naming it
  // and why, and the message.
  void RefuseLine(const QString& link, const QString& text, OperatorMessage why,
                  std::function<void()> then = {});
  // Says it in the log, then shows it to the operator.
  void Tell(OperatorMessage message, std::function<void()> then = {});
  void Note(LogEntry::Kind kind, const QString& link, const QByteArray& bytes,
            const QString& text = {}, bool addressed = false);
  QString SerialLinkName() const;
  // What the operator asked for while a frame went out, once it is out.
  void RunWhatWaitedForTheFrame();
  void FinishClosing();

  BuiltControls controls_;
  KeyButtons keys_;
  compose::Composer composer_;
  link::TComm* comm1_;             // owned as a child object
  link::UsbLink* usb_;             // owned as a child object
  session::LineSession* session_;  // owned as a child object
  int storedPortCount_;            // cbo1's own entries, before the devices found
  DialogPresenter dialogs_;
  MessageQueue messages_;
  bool portOpen_ = false;
  bool usbStarted_ = false;
  bool awaitingAnswer_ = false;  // a frame that did not go out is being told of
  ReplyFlow replies_;
  CommandHistory history_;
  StatusLine* status_;                  // owned as a child object
  QString lastPort_;                    // the port last open, named once it is closed
  OperatorMessage lostNotice_;          // while it may still show
  SessionLog* log_;                     // owned as a child object
  LogFile* logFile_;                    // owned as a child object
  LogPanel* logPanel_ = nullptr;        // a child widget, once the log is first shown
  SequenceBar* sequenceBar_ = nullptr;  // in the log's panel
  QPushButton* logToggle_;              // in the status bar
  QCheckBox* reopenToggle_;             // in the status bar
  link::PortWatch* portWatch_;          // owned as a child object
  bool logShown_ = false;
  int logHeight_ = 200;
  // The frame going out finishes before these: closing the window, and the
  // last port action asked for meanwhile.
  std::string nameBeforeReopen_;  // the port's name before a reopen was tried
  bool closeAfterFrame_ = false;
  std::function<void()> afterFrame_;
  bool outputHeld_ = false;  // the instrument holds output back (XOFF)
  bool sendReady_ = true;
  bool sequenceRunning_ = false;
  LineSettings runSettings_;  // taken when the run started
  QString textBeforeHold_;    // the reply box before it said so
  QTimer closeHoldLimit_;
};

}  // namespace zrt::window
