#include "window/main_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScopeGuard>
#include <QShortcut>
#include <QStatusBar>

#include "compose/key_vocabulary.h"
#include "link/port/serial_ports.h"
#include "link/port_watch.h"
#include "link/usb_link.h"
#include "protocol/send_steps.h"
#include "window/artwork.h"
#include "window/control_caption.h"
#include "window/layout_table.h"
#include "window/log_file.h"
#include "window/log_panel.h"
#include "window/own_texts.h"
#include "window/popup_combo_box.h"
#include "window/radio_group.h"
#include "window/sequence_bar.h"
#include "window/status_line.h"
#include "window/window_builder.h"

namespace zrt::window {

using link::UsbLink;
using protocol::kSerialByteIntervalMs;
using protocol::SentEcho;
using protocol::StrToInt;

namespace {

// Each label names the field beside it, for screen readers and for Alt+letter
// navigation should a caption ever gain a mnemonic.
constexpr std::pair<const char*, const char*> kLabelBuddies[] = {
    {"lbel1", "Edit1"},
    {"lbel2", "Edit3"},
    {"lbe3", "cob2"},
    {"lbe4", "cbo1"},
};

// The USB link starts right after the window's first paint, so that the
// window does not wait for the bus to be scanned (a matter of milliseconds
// with many devices). A window that is not painted by then starts it anyway.
constexpr int kUsbStartLatestMs = 200;

// Items of the interface group.
constexpr int kRs232Interface = 0;
constexpr int kUsbInterface = 1;

// The log's least height below the original area, when it is shown.
constexpr int kLogMinHeight = 80;

// A serial line longer than this is sent only once the operator agrees.
constexpr qsizetype kLongLineChars = 4096;

// How long a closing window waits for an instrument that holds output back
// before it gives up the frame.
constexpr int kCloseHoldLimitMs = 10000;

// Messages the instrument's operators know as they stand.
constexpr char16_t kOpenThePortFirst[] = u"请打开串口!";
constexpr char16_t kSendFailed[] = u"发送失败!";
constexpr char16_t kPlugMonitorFailed[] = u"设置监视CH372/CH375设备插拔失败";
constexpr char16_t kCannotOpenUsbDevice[] = u"无法打开CH375设备";

}  // namespace

TForm1::TForm1(QWidget* parent, link::SerialPlatform& serialPlatform,
               link::Ch375Library& usbLibrary)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      controls_(BuildControls(this)),
      keys_(Edit("Edit1")),
      composer_(keys_),
      comm1_(new link::TComm(this, serialPlatform)),
      usb_(new UsbLink(usbLibrary, this)),
      session_(new session::LineSession(comm1_, usb_, this)),
      storedPortCount_(qobject_cast<QComboBox*>(Control("cbo1"))->count()),
      dialogs_(this),
      messages_(dialogs_) {
  setObjectName("Form1");
  setWindowTitle(QString::fromUtf8(kWindowTitle.data(), kWindowTitle.size()));
  setWindowIcon(WindowIcon());
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

  connect(comm1_, &link::TComm::OnReceiveData, this, &TForm1::Comm1ReceiveData);
  connect(comm1_, &link::TComm::OnRequestHangup, this, &TForm1::Comm1RequestHangup);
  connect(comm1_, &link::TComm::OnOutputHeld, this, &TForm1::Comm1OutputHeld);
  connect(comm1_, &link::TComm::OnOpenFinished, this, &TForm1::Comm1OpenFinished);
  closeHoldLimit_.setSingleShot(true);
  closeHoldLimit_.setInterval(kCloseHoldLimitMs);
  connect(&closeHoldLimit_, &QTimer::timeout, this, [this] {
    session_->Abandon();  // the instrument held the line for too long: give up the frame
    FinishClosing();
  });
  // The frame stands in the log once its first byte is out, before what the
  // instrument answers to it; a frame refused whole never does.
  connect(session_, &session::LineSession::FrameOnWire, this, [this](const session::Frame& f) {
    const bool serial = f.link == session::Interface::Serial;
    log_->Append({QDateTime::currentDateTime(),
                  LogEntry::Kind::Sent,
                  serial ? SerialLinkName() : QString("USB"),
                  f.Bytes(),
                  {},
                  serial && f.addressed,
                  serial && !f.addressed});
  });
  connect(session_, &session::LineSession::FrameDone, this,
          [this](const session::Frame& f, bool sent, qsizetype handedOver) {
            if (f.link == session::Interface::Serial) FrameSent(f, sent, handedOver);
          });
  connect(session_, &session::LineSession::UsbReplied, this, &TForm1::UsbTransferred);
  connect(session_, &session::LineSession::Ready, this, [this] {
    if (!awaitingAnswer_) SetSendReady(true);
  });
  status_ = new StatusLine(*qobject_cast<QStatusBar*>(Control("StatusBar1")), this);
  log_ = new SessionLog(SessionLog::kDefaultCapacity, this);
  logFile_ = new LogFile(LogFile::DefaultFolder(), this);
  connect(log_, &SessionLog::Adding, logFile_, &LogFile::Write);
  connect(logFile_, &LogFile::Failed, this, [this](const QString& path, const QString& why) {
    const QString text = TextIn(OwnText::LogFileFailed, CurrentLanguage()).arg(path, why);
    status_->Note(text);
    Note(LogEntry::Kind::Event, {}, {}, text);
  });
  reopenToggle_ = new QCheckBox(this);
  reopenToggle_->setObjectName("ReopenToggle");
  reopenToggle_->setChecked(true);
  qobject_cast<QStatusBar*>(Control("StatusBar1"))->addPermanentWidget(reopenToggle_);
  connect(reopenToggle_, &QCheckBox::toggled, this, &TForm1::SetReopenPorts);
  logToggle_ = new QPushButton(this);
  logToggle_->setObjectName("LogToggle");
  logToggle_->setCheckable(true);
  logToggle_->setFlat(true);
  qobject_cast<QStatusBar*>(Control("StatusBar1"))->addPermanentWidget(logToggle_);
  connect(logToggle_, &QPushButton::toggled, this, &TForm1::SetLogShown);
  portWatch_ = new link::PortWatch("/dev/serial/by-id", this);
  connect(portWatch_, &link::PortWatch::Back, this, &TForm1::PortMayBeBack);
  auto* logKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_L), this);
  connect(logKey, &QShortcut::activated, logToggle_, &QPushButton::toggle);
  connect(usb_, &UsbLink::DeviceChanged, this, [this] {
    ShowLinkState();
    Note(LogEntry::Kind::Event, "USB", {}, StatusLine::UsbText(UsbOpened(), CurrentLanguage()));
  });
  connect(qobject_cast<QComboBox*>(Control("cob2")), &QComboBox::editTextChanged, this,
          &TForm1::ShowLinkState);
  connect(usb_, &UsbLink::OpenFailed, this,
          [this] { Tell(UsbInformation(QString::fromUtf16(kCannotOpenUsbDevice))); });

  const std::pair<const char*, void (TForm1::*)()> buttonHandlers[] = {
      {"btn96", &TForm1::btn96Click},
      {"btn100", &TForm1::btn100Click},
      {"btn101", &TForm1::btn101Click},
      {"btn106", &TForm1::btn106Click},
  };
  for (const auto& [name, handler] : buttonHandlers) {
    connect(qobject_cast<QPushButton*>(Control(name)), &QPushButton::clicked, this, handler);
  }
  // Enter sends, as Send does; Up, Down and Escape recall sent lines.
  connect(Edit("Edit1"), &QLineEdit::returnPressed, this, [this] {
    if (Control("btn96")->isEnabled()) return btn96Click();
    // The line stays for when the hold has passed.
    if (session_->HoldLeft().count() > 0 && !sequenceRunning_) {
      const double left = static_cast<double>(session_->HoldLeft().count()) / 1000.0;
      status_->Note(TextIn(OwnText::SendHeld, CurrentLanguage()).arg(left, 0, 'f', 1));
    }
  });
  Edit("Edit1")->installEventFilter(this);
  auto* ports = qobject_cast<PopupComboBox*>(Control("cbo1"));
  connect(ports, &QComboBox::editTextChanged, this, &TForm1::cbo1Change);
  connect(ports, &PopupComboBox::AboutToPopup, this, &TForm1::RefreshPortList);
  connect(qobject_cast<RadioGroup*>(Control("rg3")), &RadioGroup::Clicked, this, &TForm1::rg3Click);
  setAcceptDrops(true);  // a sequence file

  FormCreate();
}

TForm1::~TForm1() { usb_->CloseDevice(); }

QLineEdit* TForm1::Edit(const char* name) const { return qobject_cast<QLineEdit*>(Control(name)); }

QString TForm1::Text(const char* name) const {
  if (auto* combo = qobject_cast<QComboBox*>(Control(name))) return combo->currentText();
  return Edit(name)->text();
}

bool TForm1::Sending() const { return session_->Sending() || usb_->Busy(); }

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
  QTimer::singleShot(kUsbStartLatestMs, this, &TForm1::StartUsb);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Edit("Edit1") && event->type() == QEvent::KeyPress) {
    std::optional<QString> recalled;
    switch (static_cast<QKeyEvent*>(event)->key()) {
      case Qt::Key_Up:
        recalled = history_.Older(Text("Edit1"));
        break;
      case Qt::Key_Down:
        recalled = history_.Newer();
        break;
      case Qt::Key_Escape:
        recalled = history_.BackToEdited();
        break;
      default:
        return QWidget::eventFilter(watched, event);
    }
    if (recalled) Edit("Edit1")->setText(*recalled);
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

bool TForm1::event(QEvent* event) {
  if (event->type() == QEvent::Paint && !usbStarted_) {
    QTimer::singleShot(0, this, &TForm1::StartUsb);  // once this paint is on the screen
  }
  return QWidget::event(event);
}

void TForm1::StartUsb() {
  if (usbStarted_) return;
  usbStarted_ = true;
  if (!usb_->Start()) Tell(UsbInformation(QString::fromUtf16(kPlugMonitorFailed)));
  ShowLinkState();
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

void TForm1::closeEvent(QCloseEvent* event) {
  // A frame going out is finished first, so that the instrument is not left
  // with half a line; the window goes at once, the process once it is out.
  if (session_->Sending()) {
    closeAfterFrame_ = true;
    if (outputHeld_) closeHoldLimit_.start();
    hide();
    event->ignore();
    return;
  }
  FormClose();
  event->accept();
}

// The window is the last one: closing it ends the event loop, and the
// process, with exit code 0.
void TForm1::FormClose() {
  closeHoldLimit_.stop();
  usbStarted_ = true;  // a start still due would come after the close
  usb_->Close();
  session_->Abandon();
  comm1_->ClosePort();
}

void TForm1::Guarded(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception& error) {
    Tell(ErrorReport(windowTitle(), error, CurrentLanguage()));
  }
}

void TForm1::btn96Click() { SendText(Text("Edit1"), true); }

bool TForm1::SendText(const QString& text, bool byOperator) {
  bool started = false;
  // A sequence keeps the settings it started with, whatever the boxes say.
  const LineSettings settings =
      sequenceRunning_ && !byOperator ? runSettings_ : CurrentLineSettings();
  Guarded([&] {
    const int link = settings.link;
    if (link != kUsbInterface && link != kRs232Interface) return;
    // A character the instrument has no byte for would go out as "?".
    if (const auto missing = protocol::FirstWithoutByte(text)) {
      const QString code = QString::number(missing->character, 16).toUpper().rightJustified(4, '0');
      return RefuseLine(link == kUsbInterface ? "USB" : SerialLinkName(), text,
                        {OperatorMessage::Kind::Notice,
                         windowTitle(),
                         TextIn(OwnText::NoByte, CurrentLanguage())
                             .arg(QString::fromUcs4(&missing->character, 1), code,
                                  QString::number(missing->position)),
                         {}});
    }
    if (link == kUsbInterface && text.isEmpty()) return;
    // An empty serial line still sets the rate.
    const session::Frame frame = PrepareLine(byOperator ? 0 : 1, text, settings);
    if (text.isEmpty()) return;
    started = true;
    if (link == kUsbInterface || !byOperator || text.size() <= kLongLineChars) {
      if (byOperator) Remember(text);
      return SendFrame(frame);
    }
    // Minutes of sending deserve a second thought.
    messages_.Ask(LongLineQuestion(windowTitle(), frame.Bytes().size(), kSerialByteIntervalMs,
                                   CurrentLanguage()),
                  [this, frame](bool yes) {
                    if (!yes) return;
                    Remember(frame.text);
                    SendFrame(frame);
                  });
  });
  return started;
}

// Not a number is said in the instrument's own words; a rate that is none,
// or one the port refuses, in the operator's language.
session::Frame TForm1::PrepareLine(int source, const QString& text, const LineSettings& settings) {
  const auto link =
      settings.link == kUsbInterface ? session::Interface::Usb : session::Interface::Serial;
  try {
    return session_->Prepare(source, text, {link, settings.rate, settings.address});
  } catch (const session::BadRate& bad) {
    const OwnText which = bad.refused ? OwnText::BaudRateRefused : OwnText::BaudRateInvalid;
    const std::string said = TextIn(which, CurrentLanguage()).arg(bad.rate).toStdString();
    if (bad.refused) throw link::ECommsError(said, bad.refused);
    throw protocol::EConvertError(said);
  }
}

void TForm1::RefuseLine(const QString& link, const QString& text, OperatorMessage why,
                        std::function<void()> then) {
  Note(LogEntry::Kind::Event, link, {},
       TextIn(OwnText::LineNotSent, CurrentLanguage()).arg(text, Said(why)));
  messages_.Post(std::move(why), std::move(then));
}

void TForm1::Remember(const QString& text) {
  history_.Add(text);
  emit LineSent();
}

// One frame at a time: Send comes back once the line is through and any
// hold after it has passed.
void TForm1::SendFrame(const session::Frame& frame) {
  if (frame.link == session::Interface::Serial) replies_.FrameStarted();
  SetSendReady(false);
  session_->Submit(frame);
}

void TForm1::UsbTransferred(const session::Frame& frame, bool written, const QByteArray& reply) {
  Note(LogEntry::Kind::Received, "USB", reply);
  if (!reply.isEmpty()) emit BlockReceived(reply);
  const auto done = qScopeGuard([this, written] { emit FrameDone(written); });
  auto showReply = [this, reply] {
    Edit("Edit3")->setText(replies_.Fetched(reply));
    // On USB the address is read once the line is through, as it always was.
    Guarded([this] { StrToInt(Text("Edit2")); });
  };
  if (written) {
    Edit("Edit3")->setText(SentEcho(frame.line));
    return showReply();
  }
  awaitingAnswer_ = true;
  RefuseLine("USB", frame.text, SendFailure(QString::fromUtf16(kSendFailed)),
             [this, frame, showReply] {
               showReply();
               Answered(frame);
             });
}

void TForm1::FrameSent(const session::Frame& frame, bool everyByteHandedOver,
                       qsizetype handedOver) {
  const auto done =
      qScopeGuard([this, everyByteHandedOver] { emit FrameDone(everyByteHandedOver); });
  Edit("Edit3")->clear();
  if (everyByteHandedOver) {
    QString echo = SentEcho(frame.line);
    if (!frame.addressed) echo += "  " + TextIn(OwnText::SentAsTyped, CurrentLanguage());
    Edit("Edit3")->setText(replies_.FrameEnded(echo));
  } else {
    if (const QString shown = replies_.FrameEnded({}); !shown.isEmpty()) {
      Edit("Edit3")->setText(shown);
    }
    OperatorMessage failure = SendFailure(QString::fromUtf16(kOpenThePortFirst));
    awaitingAnswer_ = true;
    auto answered = [this, frame] { Answered(frame); };
    if (handedOver == 0) {
      RefuseLine(SerialLinkName(), frame.text, failure, answered);
    } else {
      // Part of it went out: the log and the message say how much.
      failure.detail = TextIn(OwnText::PortLostFrameCut, CurrentLanguage())
                           .arg(handedOver)
                           .arg(frame.Bytes().size());
      Tell(failure, answered);
    }
  }
  RunWhatWaitedForTheFrame();
}

// The hold after a sweep trigger that did not go out follows the answer to
// what was said of it.
void TForm1::Answered(const session::Frame& frame) {
  awaitingAnswer_ = false;
  session_->HoldAfter(frame);
}

void TForm1::RunWhatWaitedForTheFrame() {
  outputHeld_ = false;
  if (closeAfterFrame_) return FinishClosing();
  if (auto action = std::exchange(afterFrame_, {})) Guarded(action);
}

// The window was hidden when the operator closed it, so closing it now is
// not the closing of the last visible window that ends the event loop.
void TForm1::FinishClosing() {
  if (close() && testAttribute(Qt::WA_QuitOnClose)) QCoreApplication::quit();
}

void TForm1::Comm1OutputHeld(bool held) {
  outputHeld_ = held;
  ShowLinkState();
  Note(LogEntry::Kind::Event, SerialLinkName(), {},
       StatusLine::SerialText(SerialState(), CurrentLanguage()));
  if (!session_->Sending()) return;
  if (held) {
    textBeforeHold_ = Edit("Edit3")->text();
    Edit("Edit3")->setText(TextIn(OwnText::OutputHeld, CurrentLanguage())
                               .arg(session_->HandedOver())
                               .arg(session_->FrameSize()));
    if (closeAfterFrame_) closeHoldLimit_.start();
  } else {
    Edit("Edit3")->setText(textBeforeHold_);
    closeHoldLimit_.stop();
  }
}

void TForm1::SetSendReady(bool ready) {
  sendReady_ = ready;
  Control("btn96")->setEnabled(ready && !sequenceRunning_);
  if (ready) emit SendReady();
}

TForm1::LineSettings TForm1::CurrentLineSettings() const {
  return {qobject_cast<RadioGroup*>(Control("rg2"))->ItemIndex(), Text("cob2"), Text("Edit2")};
}

void TForm1::SetSequenceRunning(bool running) {
  if (running && !sequenceRunning_) runSettings_ = CurrentLineSettings();
  sequenceRunning_ = running;
  // The interface, rate and address stay as the run took them.
  for (const char* name : {"rg2", "cob2", "Edit2"}) Control(name)->setEnabled(!running);
  Control("btn96")->setEnabled(sendReady_ && !sequenceRunning_);
}

void TForm1::Comm1ReceiveData(const QByteArray& block) {
  Note(LogEntry::Kind::Received, SerialLinkName(), block);
  emit BlockReceived(block);
  if (const auto shown = replies_.Received(block, ReplyFlow::Clock::now())) {
    Edit("Edit3")->setText(*shown);
  }
}

void TForm1::btn106Click() {
  if (session_->Sending()) {
    // Closing (or opening another port) waits for the frame going out.
    afterFrame_ = [this] { btn106Click(); };
    return;
  }
  portWatch_->Stop();  // the operator's own action ends any wait for a lost port
  ShowLinkState();
  Guarded([this] {
    comm1_->SetCommName(QFile::encodeName(Text("cbo1")).toStdString());
    if (portOpen_) {
      ShowPortState(false);
      comm1_->ClosePort();
      return;
    }
    OpenSerialPort();
  });
}

void TForm1::OpenSerialPort() {
  comm1_->OpenPort();  // raises when the port will not open: the controls stay closed
  if (const link::SysError refused = comm1_->SettingsError()) {
    // A port that takes no line settings is as good as not open.
    comm1_->ClosePort();
    throw link::ECommsError("Error opening serial port", refused);
  }
  SerialPortOpened();
}

void TForm1::SerialPortOpened() {
  lastPort_ = SerialLinkName();
  ShowPortState(true);
  portWatch_->Opened(comm1_->CommName());
  LogPortNotes();
}

void TForm1::LogPortNotes() {
  for (const link::PortNote& note : comm1_->TakeNotes()) {
    Note(LogEntry::Kind::Event, SerialLinkName(), {},
         QString::fromStdString(
             link::SayPortNote(note, static_cast<std::size_t>(CurrentLanguage()))));
  }
}

// The lost port may be back: it is opened quietly, by its stable name, off
// the window's thread (a server may take seconds to confirm the settings);
// a try that fails waits for the next.
void TForm1::PortMayBeBack(const QString& name) {
  if (portOpen_ || session_->Sending() || comm1_->Opening()) return;
  nameBeforeReopen_ = comm1_->CommName();
  comm1_->SetCommName(QFile::encodeName(name).toStdString());
  comm1_->OpenPortInBackground();
}

void TForm1::Comm1OpenFinished() {
  const QString name = QFile::decodeName(QByteArray::fromStdString(comm1_->CommName()));
  if (!comm1_->IsOpen() || comm1_->SettingsError() || !portWatch_->Watching()) {
    comm1_->ClosePort();  // refused, or no longer waited for
    comm1_->SetCommName(nameBeforeReopen_);
    return;
  }
  SerialPortOpened();
  if (Text("cbo1") != name) {
    const QSignalBlocker quiet(Control("cbo1"));  // no change of port
    qobject_cast<QComboBox*>(Control("cbo1"))->setEditText(name);
  }
  Note(LogEntry::Kind::Event, name, {}, TextIn(OwnText::PortReopened, CurrentLanguage()).arg(name));
  // The notice that it was lost no longer holds.
  messages_.Withdraw(std::exchange(lostNotice_, {}));
  status_->Note(TextIn(OwnText::PortReopened, CurrentLanguage()).arg(name));
  ShowLinkState();
}

bool TForm1::ReopenPorts() const { return reopenToggle_->isChecked(); }

void TForm1::SetReopenPorts(bool reopen) {
  if (reopenToggle_->isChecked() != reopen) reopenToggle_->setChecked(reopen);
  if (!reopen) portWatch_->Stop();
  ShowLinkState();
}

void TForm1::cbo1Change() {
  if (session_->Sending()) {
    afterFrame_ = [this] { cbo1Change(); };
    return;
  }
  portWatch_->Stop();
  // The port that was open is the one closed, and the one named.
  if (portOpen_) {
    const QString closed = SerialLinkName();
    comm1_->ClosePort();
    ShowPortState(false);
    status_->Note(TextIn(OwnText::PortRenamed, CurrentLanguage()).arg(closed));
  }
  comm1_->SetCommName(QFile::encodeName(Text("cbo1")).toStdString());
  ShowLinkState();
}

void TForm1::Comm1RequestHangup() {
  if (!comm1_->IsOpen()) return;
  LogPortNotes();  // why a network server's connection ended
  comm1_->ClosePort();
  ShowPortState(false);
  emit SerialLinkLost();
  QString cut;
  if (session_->Sending()) {
    // The device is gone: the frame ends here, and the notice below says so;
    // "open the port" would only repeat it.
    const qsizetype handedOver = session_->HandedOver();
    const qsizetype size = session_->FrameSize();
    cut = TextIn(OwnText::PortLostFrameCut, CurrentLanguage()).arg(handedOver).arg(size);
    Note(LogEntry::Kind::Event, SerialLinkName(), {},
         TextIn(OwnText::FrameCut, CurrentLanguage()).arg(handedOver).arg(size));
    const session::Frame frame = *session_->Current();
    session_->Abandon();
    Edit("Edit3")->setText(replies_.FrameEnded({}));
    session_->HoldAfter(frame);
    afterFrame_ = {};
    outputHeld_ = false;
    if (closeAfterFrame_) return FinishClosing();  // nobody is left to tell
  }
  lostNotice_ = PortLostNotice(windowTitle(), SerialLinkName(), CurrentLanguage());
  if (link::IsNetworkPortName(comm1_->CommName())) {
    lostNotice_.text = TextIn(OwnText::PortServerLost, CurrentLanguage()).arg(SerialLinkName());
  }
  lostNotice_.detail = cut;
  Tell(lostNotice_);
  if (!reopenToggle_->isChecked()) return;
  if (!portWatch_->Lost()) {
    // A pseudo-terminal or a built-in port has nothing to know it again by.
    Note(LogEntry::Kind::Event, SerialLinkName(), {},
         TextIn(OwnText::PortNotAwaitable, CurrentLanguage()).arg(SerialLinkName()));
    return;
  }
  const QString stable = portWatch_->StableName().empty()
                             ? SerialLinkName()
                             : QString::fromStdString(portWatch_->StableName());
  Note(LogEntry::Kind::Event, stable, {},
       TextIn(OwnText::PortAwaited, CurrentLanguage()).arg(stable));
  ShowLinkState();
}

// The caption names the state the port is in now; every language but
// English shows the simplified text until the next language switch.
void TForm1::ShowPortState(bool open) {
  Control("Image1")->setVisible(open);
  const std::string_view caption = PortButtonCaption(CurrentLanguage(), open);
  SetCaption(Control("btn106"), QString::fromUtf8(caption.data(), caption.size()));
  const bool changed = portOpen_ != open;
  portOpen_ = open;
  ShowLinkState();
  if (changed) {
    Note(LogEntry::Kind::Event, SerialLinkName(), {},
         StatusLine::SerialText(SerialState(), CurrentLanguage()));
  }
}

QWidget* TForm1::LogPanelWidget() const { return logPanel_; }

// Made when first needed: the log's panel costs start-up half a megabyte.
void TForm1::EnsureLogPanel() {
  if (logPanel_) return;
  logPanel_ = new LogPanel(*log_, this);
  sequenceBar_ = new SequenceBar(*this, logPanel_);
  logPanel_->AddRow(sequenceBar_);
  logPanel_->LogToFileSwitch()->setChecked(logFile_->On());
  connect(logPanel_->LogToFileSwitch(), &QCheckBox::toggled, this, &TForm1::SetLogToFile);
  logPanel_->ApplyLanguage(CurrentLanguage());
  sequenceBar_->ApplyLanguage(CurrentLanguage());
  logPanel_->setVisible(logShown_);
}

bool TForm1::LogToFile() const { return logFile_->On(); }

void TForm1::SetLogToFile(bool on) {
  if (logPanel_ && logPanel_->LogToFileSwitch()->isChecked() != on) {
    logPanel_->LogToFileSwitch()->setChecked(on);  // comes back here
  }
  if (logFile_->On() == on) return;
  logFile_->SetOn(on);
  emit LogToFileChanged(on);
}

SequenceBar& TForm1::Sequences() {
  EnsureLogPanel();
  return *sequenceBar_;
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->urls().size() == 1 && event->mimeData()->urls()[0].isLocalFile()) {
    event->acceptProposedAction();
  }
}

// A sequence file dropped on the window is loaded, and the log shown with
// the sequence controls.
void TForm1::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.size() != 1 || !urls[0].isLocalFile()) return;
  event->acceptProposedAction();
  SetLogShown(true);
  Sequences().Load(urls[0].toLocalFile());
}

void TForm1::SetLogShown(bool shown) {
  if (logToggle_->isChecked() != shown) logToggle_->setChecked(shown);  // comes back here
  if (logShown_ == shown) return;
  logShown_ = shown;
  if (shown) EnsureLogPanel();
  if (logPanel_) logPanel_->setVisible(shown);
  if (shown) {
    const int height = logHeight_;  // the size limits below may resize the window first
    // The log may be made wider as well as taller; the original area stays.
    setMinimumSize(kClientWidth, kClientHeight + kLogMinHeight);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    resize(kClientWidth, kClientHeight + height);
  } else {
    setFixedSize(kClientWidth, kClientHeight);
  }
  emit LogLayoutChanged();
}

void TForm1::SetLogHeight(int height) {
  logHeight_ = std::max(height, kLogMinHeight);
  if (logShown_) resize(width(), kClientHeight + logHeight_);
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (!logShown_) return;
  // The original area keeps its place and size; the log takes the rest.
  logHeight_ = std::max(height() - kClientHeight, kLogMinHeight);
  logPanel_->setGeometry(0, kClientHeight, width(), height() - kClientHeight);
  emit LogLayoutChanged();
}

void TForm1::Note(LogEntry::Kind kind, const QString& link, const QByteArray& bytes,
                  const QString& text, bool addressed) {
  log_->Append({QDateTime::currentDateTime(), kind, link, bytes, text, addressed});
}

QString TForm1::SerialLinkName() const { return QFile::decodeName(comm1_->CommName().c_str()); }

void TForm1::Tell(OperatorMessage message, std::function<void()> then) {
  Note(LogEntry::Kind::Event, {}, {}, Said(message));
  messages_.Post(std::move(message), std::move(then));
}

StatusLine::Serial TForm1::SerialState() const {
  using State = StatusLine::Serial::State;
  const State state = portWatch_->Watching() ? State::ComingBack
                      : !portOpen_           ? State::Closed
                      : outputHeld_          ? State::Held
                                             : State::Open;
  // The port open now, or the one last open, whatever the box says since;
  // an open port runs at the rate it was last given.
  const QString name = portOpen_ || portWatch_->Watching() ? SerialLinkName()
                       : lastPort_.isEmpty()               ? Text("cbo1")
                                                           : lastPort_;
  const QString rate = portOpen_ ? QString::number(comm1_->BaudRate()) : Text("cob2");
  return {state, name, rate};
}

bool TForm1::UsbOpened() const { return usb_->DeviceHandle() != link::kInvalidDeviceHandle; }

void TForm1::ShowLinkState() {
  const Language language = CurrentLanguage();
  logToggle_->setText(TextIn(OwnText::LogToggle, language));
  reopenToggle_->setText(TextIn(OwnText::ReopenToggle, language));
  if (logPanel_) logPanel_->ApplyLanguage(language);
  if (sequenceBar_) sequenceBar_->ApplyLanguage(language);
  status_->Show(SerialState(), UsbOpened(), language);
}

void TForm1::RefreshPortList() {
  auto* ports = qobject_cast<QComboBox*>(Control("cbo1"));
  // Rebuilding the list is no change of port.
  const QSignalBlocker quiet(ports);
  const QString typed = ports->currentText();
  while (ports->count() > storedPortCount_) ports->removeItem(ports->count() - 1);
  for (const std::string& port : link::PresentSerialPorts()) {
    const QString name = QFile::decodeName(port.c_str());
    if (ports->findText(name) < 0) ports->addItem(name);
  }
  ports->setEditText(typed);
}

void TForm1::btn100Click() { Edit("Edit1")->setText(QString()); }

void TForm1::btn101Click() { Edit("Edit1")->setText(Edit("Edit2")->text()); }

void TForm1::SelectLanguage(Language language) {
  qobject_cast<RadioGroup*>(Control("rg3"))->SetItemIndex(static_cast<int>(language));
  rg3Click();
}

void TForm1::rg3Click() {
  const auto showState = qScopeGuard([this] { ShowLinkState(); });
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
