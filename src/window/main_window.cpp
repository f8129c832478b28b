#include "window/main_window.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QStatusBar>

#include "compose/key_vocabulary.h"
#include "link/usb_link.h"
#include "window/form/artwork.h"
#include "window/form/control_caption.h"
#include "window/form/layout_table.h"
#include "window/form/own_texts.h"
#include "window/form/popup_combo_box.h"
#include "window/form/radio_group.h"
#include "window/log/log_file.h"
#include "window/log/log_panel.h"
#include "window/memory/remembered_settings.h"
#include "window/send/form_link.h"
#include "window/send/history_keys.h"
#include "window/send/sequence_bar.h"

namespace zrt::window {

using link::UsbLink;

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

// How long a closing window waits for an instrument that holds output back
// before it gives up the frame.
constexpr int kCloseHoldLimitMs = 10000;

// Messages the instrument's operators know as they stand.
constexpr char16_t kPlugMonitorFailed[] = u"设置监视CH372/CH375设备插拔失败";
constexpr char16_t kCannotOpenUsbDevice[] = u"无法打开CH375设备";

QString WindowTitle() { return QString::fromUtf8(kWindowTitle.data(), kWindowTitle.size()); }

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
      dialogs_(this),
      messages_(dialogs_),
      status_(new StatusLine(StatusBar(), this)),
      logArea_(new LogArea(*this, [this] { return CurrentLanguage(); })),
      say_(logArea_->Log(), messages_, WindowTitle(), [this] { return CurrentLanguage(); }),
      ports_(new PortControl(
          *comm1_, *session_, say_, *status_, StatusBar(),
          {*qobject_cast<PopupComboBox*>(Control("cbo1")),
           *qobject_cast<QComboBox*>(Control("cob2")), *Control("btn106"), *Control("Image1")},
          this)),
      share_(new ShareControl(
          {*session_, [this] { return ClientLineSettings(); }, say_, *status_, StatusBar()}, this)),
      replies_(*Edit("Edit3")),
      sender_(
          new WindowSender({*session_, say_, messages_, replies_, [this] { return ports_->Name(); },
                            *Edit("Edit2"), [this](int source) { return Origin(source); }},
                           this)),
      instrument_(new InstrumentControl(
          {*this, [this]() -> SequenceBar& { return Sequences(); }, *session_, say_, messages_,
           [this] { return ClientLineSettings(); },
           [this] {
             return ClientLineSettings().link == session::Interface::Usb ? UsbOpened() : PortOpen();
           },
           [this](const QString& text) { status_->Note(text); },
           [this] {
             return sender_->LinkName(ClientLineSettings().link, InstrumentControl::kTuneSource);
           }},
          this)) {
  setObjectName("Form1");
  StatusBar().addPermanentWidget(logArea_->Toggle());  // after the port's switch
  logArea_->SetViewMaker([this] { return instrument_->MakeView(nullptr); });
  logArea_->SetPanelFiller([this](LogPanel& panel) { MakeSequences(panel); });
  connect(logArea_, &LogArea::FileDropped, this, [this](const QString& path) {
    SetLogShown(true);
    Sequences().Load(path);
  });
  setWindowTitle(WindowTitle());
  setWindowIcon(WindowIcon());
  setFixedSize(kClientWidth, kClientHeight);
  move(kWindowLeft, kWindowTop);

  for (const KeyButton& key : controls_.keys) keys_.Bind(key.code, key.button);
  connect(controls_.keyClicks, &QButtonGroup::idClicked, this,
          [this](int code) { composer_.HandleKey(code); });
  for (const auto& [label, field] : kLabelBuddies) {
    qobject_cast<QLabel*>(Control(label))->setBuddy(Control(field));
  }
  Edit("Edit2")->setAccessibleName("Instrument address");

  // The window's port differs from a new component only in name and rate,
  // which match the port and baud-rate boxes.
  comm1_->setObjectName("Comm1");
  comm1_->SetCommName("COM1");
  comm1_->SetBaudRate(19200);
  // Whose the bytes are is the session's to say: a reply whole at its line
  // feed lets the next frame (and its source) start before other slots run.
  connect(session_, &session::LineSession::Received, this, &TForm1::Comm1ReceiveData);
  connect(comm1_, &link::TComm::OnRequestHangup, this, &TForm1::Comm1RequestHangup);
  connect(comm1_, &link::TComm::OnOutputHeld, this, &TForm1::Comm1OutputHeld);
  closeHoldLimit_.setSingleShot(true);
  closeHoldLimit_.setInterval(kCloseHoldLimitMs);
  connect(&closeHoldLimit_, &QTimer::timeout, this, [this] {
    session_->Abandon();  // the instrument held the line for too long: give up the frame
    FinishClosing();
  });

  connect(sender_, &WindowSender::Remembered, this, [this](const QString& text) {
    history_.Add(text);
    emit LineSent();
  });
  connect(sender_, &WindowSender::ReadyChanged, this, &TForm1::SetSendReady);
  connect(sender_, &WindowSender::SerialThrough, this, &TForm1::RunWhatWaitedForTheFrame);
  connect(sender_, &WindowSender::FrameDone, this, &TForm1::FrameDone);
  connect(sender_, &WindowSender::LineRefused, this, &TForm1::LineRefused);
  connect(sender_, &WindowSender::UsbReply, this, &TForm1::BlockReceived);
  connect(logArea_, &LogArea::LayoutChanged, this, &TForm1::LogLayoutChanged);
  connect(logArea_, &LogArea::ToFileChanged, this, &TForm1::LogToFileChanged);
  connect(&logArea_->File(), &LogFile::Failed, this,
          [this](const QString& path, const QString& why) {
            const QString text = TextIn(OwnText::LogFileFailed, CurrentLanguage()).arg(path, why);
            status_->Note(text);
            say_.Event({}, text);
          });
  connect(ports_, &PortControl::Changed, this, &TForm1::ShowLinkState);
  connect(usb_, &UsbLink::DeviceChanged, this, [this] {
    if (UsbOpened()) session_->LinkChanged();
    ShowLinkState();
    say_.Event("USB", StatusLine::UsbText(UsbOpened(), CurrentLanguage()));
  });
  connect(qobject_cast<QComboBox*>(Control("cob2")), &QComboBox::editTextChanged, this,
          &TForm1::ShowLinkState);
  connect(usb_, &UsbLink::OpenFailed, this,
          [this] { say_.Tell(UsbInformation(QString::fromUtf16(kCannotOpenUsbDevice))); });

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
  new HistoryKeys(*Edit("Edit1"), history_);
  connect(qobject_cast<QComboBox*>(Control("cbo1")), &QComboBox::editTextChanged, this,
          &TForm1::cbo1Change);
  connect(qobject_cast<RadioGroup*>(Control("rg3")), &RadioGroup::Clicked, this, &TForm1::rg3Click);

  FormCreate();
}

TForm1::~TForm1() { usb_->CloseDevice(); }

QStatusBar& TForm1::StatusBar() const { return *qobject_cast<QStatusBar*>(Control("StatusBar1")); }

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
  DisableAllFunctions();
  EnableAllFunctions();
  Control("Image1")->hide();
  QTimer::singleShot(kUsbStartLatestMs, this, &TForm1::StartUsb);
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
  if (!usb_->Start()) say_.Tell(UsbInformation(QString::fromUtf16(kPlugMonitorFailed)));
  ShowLinkState();
}

void TForm1::ApplyCaptions(Language language) {
  for (const CaptionRow& row : CaptionTable()) {
    if (const char* caption = CaptionFor(row, language, PortOpen())) {
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
    if (ports_->Held()) closeHoldLimit_.start();
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

void TForm1::btn96Click() { SendText(Text("Edit1"), true); }

bool TForm1::SendText(const QString& text, bool byOperator) {
  // A sequence keeps the settings it started with, whatever the boxes say.
  return sender_->Send(text, sequenceRunning_ && !byOperator ? runSettings_ : CurrentLineSettings(),
                       byOperator ? WindowSender::kOperator : WindowSender::kSequence);
}

bool TForm1::DeferredForTheFrame(std::function<void()> action) {
  if (!session_->Sending()) return false;
  afterFrame_ = std::move(action);
  return true;
}

void TForm1::RunWhatWaitedForTheFrame() {
  ports_->SetHeld(false);
  if (closeAfterFrame_) return FinishClosing();
  if (auto action = std::exchange(afterFrame_, {})) say_.Guarded(action);
}

// The window was hidden when the operator closed it, so closing it now is
// not the closing of the last visible window that ends the event loop.
void TForm1::FinishClosing() {
  if (close() && testAttribute(Qt::WA_QuitOnClose)) QCoreApplication::quit();
}

void TForm1::Comm1OutputHeld(bool held) {
  ports_->SetHeld(held);
  ShowLinkState();
  say_.Event(ports_->Name(), StatusLine::SerialText(ports_->State(), CurrentLanguage()));
  if (!session_->Sending()) return;
  replies_.Held(held, TextIn(OwnText::OutputHeld, CurrentLanguage())
                          .arg(session_->HandedOver())
                          .arg(session_->FrameSize()));
  if (!held) closeHoldLimit_.stop();
  if (held && closeAfterFrame_) closeHoldLimit_.start();
}

void TForm1::SetSendReady(bool ready) {
  sendReady_ = ready;
  Control("btn96")->setEnabled(ready && !sequenceRunning_);
  if (ready) emit SendReady();
}

QString TForm1::Origin(int source) const {
  if (source == InstrumentControl::kSource) {
    return TextIn(OwnText::ReadBackOrigin, CurrentLanguage());
  }
  if (source == InstrumentControl::kTuneSource || source == InstrumentControl::kOffSource) {
    return TextIn(OwnText::InstrumentToggle, CurrentLanguage());
  }
  return share_->Origin(source);
}

session::LineSettings TForm1::ClientLineSettings() const {
  const WindowSender::Settings settings = CurrentLineSettings();
  return {
      settings.link == WindowSender::kUsb ? session::Interface::Usb : session::Interface::Serial,
      settings.rate, settings.address};
}

WindowSender::Settings TForm1::CurrentLineSettings() const {
  return {qobject_cast<RadioGroup*>(Control("rg2"))->ItemIndex(), Text("cob2"), Text("Edit2")};
}

void TForm1::SetSequenceRunning(bool running) {
  if (running && !sequenceRunning_) runSettings_ = CurrentLineSettings();
  sequenceRunning_ = running;
  // The interface, rate and address stay as the run took them.
  for (const char* name : {"rg2", "cob2", "Edit2"}) Control(name)->setEnabled(!running);
  Control("btn96")->setEnabled(sendReady_ && !sequenceRunning_);
}

void TForm1::Comm1ReceiveData(int answering, const QByteArray& block) {
  // A USB reply comes whole with its frame, and is the sender's to show.
  if (const auto& current = session_->Current();
      current && current->link == session::Interface::Usb) {
    return;
  }
  say_.Note(LogEntry::Kind::Received, sender_->LinkName(session::Interface::Serial, answering),
            block);
  emit BlockReceived(block);
  // Another program's reply is its own: the box shows the window's.
  if (Origin(answering).isEmpty()) replies_.Received(block);
}

void TForm1::btn106Click() {
  if (DeferredForTheFrame([this] { btn106Click(); })) return;
  say_.Guarded([this] { ports_->OpenOrClose(); });
}

void TForm1::cbo1Change() {
  if (DeferredForTheFrame([this] { cbo1Change(); })) return;
  ports_->NameChanged();
}

void TForm1::Comm1RequestHangup() {
  if (!comm1_->IsOpen()) return;
  ports_->Lost();
  emit SerialLinkLost();
  QString cut;
  if (session_->Sending()) {
    // The device is gone: the frame ends here, and the notice below says so;
    // "open the port" would only repeat it.
    const qsizetype handedOver = session_->HandedOver();
    const qsizetype size = session_->FrameSize();
    cut = TextIn(OwnText::PortLostFrameCut, CurrentLanguage()).arg(handedOver).arg(size);
    say_.Event(ports_->Name(),
               TextIn(OwnText::FrameCut, CurrentLanguage()).arg(handedOver).arg(size));
    const session::Frame frame = *session_->Current();
    session_->Abandon();
    replies_.FrameEnded({});
    session_->HoldAfter(frame);
    afterFrame_ = {};
    ports_->SetHeld(false);
    if (closeAfterFrame_) return FinishClosing();  // nobody is left to tell
  }
  ports_->SayLost(cut);
}

QWidget* TForm1::LogPanelWidget() const { return logArea_->PanelIfMade(); }

void TForm1::Remember(QSettings& settings) {
  auto* remembered = new RememberedSettings(
      {*this, *qobject_cast<QComboBox*>(Control("cbo1")),
       *qobject_cast<QComboBox*>(Control("cob2")), *Edit("Edit2"),
       *qobject_cast<RadioGroup*>(Control("rg2")), *qobject_cast<RadioGroup*>(Control("rg3")),
       [this](Language language) { SelectLanguage(language); },
       [this] { return CurrentLanguage(); }, history_, *logArea_, *ports_, *share_, *instrument_},
      settings);
  connect(this, &TForm1::LineSent, remembered, &RememberedSettings::HistoryChanged);
}

SequenceBar& TForm1::Sequences() {
  logArea_->Panel();  // which makes the bar
  return *sequences_;
}

// The sequence bar in the log's panel, running its lines through Send.
void TForm1::MakeSequences(LogPanel& panel) {
  auto* link = new FormLink([this] { return ReadyToSend(); },
                            [this](const QString& line) { return SendFromSequence(line); });
  sequences_ = new SequenceBar(*link, logArea_->Log(), &panel);
  link->setParent(sequences_);  // the runner's, so it outlives it
  connect(this, &TForm1::FrameDone, link, &FormLink::FrameSent);
  connect(this, &TForm1::SendReady, link, &FormLink::BecameReady);
  connect(this, &TForm1::BlockReceived, link, &FormLink::Received);
  connect(this, &TForm1::SerialLinkLost, link, &FormLink::Lost);
  connect(this, &TForm1::LineRefused, link,
          [link](const std::optional<guard::LimitBreach>& breach) {
            if (breach) return emit link->BeyondLimit(*breach);
            emit link->FrameSent(false);
          });
  connect(sequences_, &SequenceBar::RunningChanged, this, &TForm1::SetSequenceRunning);
  panel.AddRow(sequences_);
  sequences_->ApplyLanguage(CurrentLanguage());
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  logArea_->WindowResized();
}

bool TForm1::UsbOpened() const { return usb_->DeviceHandle() != link::kInvalidDeviceHandle; }

void TForm1::ShowLinkState() {
  const Language language = CurrentLanguage();
  logArea_->ApplyLanguage(language);
  if (sequences_) sequences_->ApplyLanguage(language);
  ports_->ApplyLanguage(language);
  share_->ApplyLanguage(language);
  instrument_->ApplyLanguage(language);
  status_->Show(ports_->State(), UsbOpened(), language);
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
