#include "window/port/share_control.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QStatusBar>
#include <utility>

#include "serve/instrument_server.h"
#include "serve/listen_address.h"
#include "window/form/own_texts.h"
#include "window/port/status_line.h"
#include "window/send/announcer.h"

namespace zrt::window {

namespace {

using Kind = serve::ServerEvent::Kind;

// What the log says of each thing the server does.
constexpr std::pair<Kind, OwnText> kEventTexts[] = {
    {Kind::Listening, OwnText::ShareListening},
    {Kind::Connected, OwnText::ShareConnected},
    {Kind::Disconnected, OwnText::ShareDisconnected},
    {Kind::NotReading, OwnText::ShareNotReading},
    {Kind::TooMany, OwnText::ShareTooMany},
    {Kind::TooLong, OwnText::ShareTooLong},
    {Kind::Replaced, OwnText::ShareReplaced},
    {Kind::NoByte, OwnText::ShareNoByte},
    {Kind::ControlByte, OwnText::ShareControlByte},
    {Kind::AcceptFailed, OwnText::ShareAcceptFailed},
    {Kind::NotSent, OwnText::ShareNotSent},
    {Kind::BadSettings, OwnText::ShareBadSettings},
    {Kind::LinkLost, OwnText::ShareLinkLost},
    {Kind::HeldTooLong, OwnText::ShareHeldTooLong},
    {Kind::Stopped, OwnText::ShareStopped},
    {Kind::ScpiCommand, OwnText::ShareScpiCommand},
    {Kind::ScpiError, OwnText::ShareScpiError},
};

}  // namespace

ShareControl::ShareControl(Parts parts, QObject* parent)
    : QObject(parent),
      parts_(std::move(parts)),
      toggle_(new QCheckBox(parts_.bar.parentWidget())),
      speech_(new QComboBox(parts_.bar.parentWidget())),
      pane_(new QLabel(parts_.bar.parentWidget())),
      scpiSetup_{.face = {.identity = scpi::DefaultIdentity(
                              QCoreApplication::applicationVersion().toStdString())}} {
  toggle_->setObjectName("ShareToggle");
  speech_->setObjectName("ShareSpeech");
  speech_->addItems({QString(), QString()});
  speech_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  pane_->setObjectName("SharePane");
  pane_->hide();
  parts_.bar.addPermanentWidget(toggle_);
  parts_.bar.addPermanentWidget(speech_);
  parts_.bar.addPermanentWidget(pane_);
  connect(toggle_, &QCheckBox::toggled, this, &ShareControl::SetOn);
  connect(speech_, &QComboBox::currentIndexChanged, this,
          [this](int index) { SetScpi(index == 1); });
}

bool ShareControl::On() const { return server_ && server_->Listening(); }

QString ShareControl::Address() const {
  const std::uint16_t port = On() ? server_->Port() : port_;  // the one picked, for 0
  return serve::ListenAddressText(host_, port);
}

void ShareControl::SetAddress(const QString& host, std::uint16_t port) {
  host_ = host;
  port_ = port;
  ApplyLanguage(parts_.say.CurrentLanguage());
  if (On()) SetOn(true);  // again, on the new address
}

void ShareControl::SetScpi(bool scpi) {
  {
    const QSignalBlocker quiet(speech_);  // comes back here otherwise
    speech_->setCurrentIndex(scpi ? 1 : 0);
  }
  if (scpi == scpi_) return;
  scpi_ = scpi;
  if (server_) {
    const bool on = On();
    server_->Stop();
    server_->SetScpi(scpi_ ? &scpiSetup_ : nullptr);
    if (on) SetOn(true);
  }
  emit ScpiChanged(scpi_);
}

void ShareControl::SetOn(bool on) {
  if (on && !server_) {
    server_ = new serve::InstrumentServer(parts_.session, parts_.settings, this);
    server_->SetScpi(scpi_ ? &scpiSetup_ : nullptr);
    connect(server_, &serve::InstrumentServer::Event, this, &ShareControl::Say);
    connect(server_, &serve::InstrumentServer::ClientsChanged, this, &ShareControl::ShowClients);
  }
  if (on) {
    try {
      server_->Listen(host_.toStdString(), port_);
    } catch (const net::NetError& error) {
      const QString said = TextIn(OwnText::ShareFailed, parts_.say.CurrentLanguage())
                               .arg(Address(), QString::fromStdString(error.what()));
      parts_.status.Note(said);
      parts_.say.Event({}, said);
    }
  } else if (server_) {
    server_->Stop();
  }
  const QSignalBlocker quiet(toggle_);  // comes back here otherwise
  toggle_->setChecked(On());
  ApplyLanguage(parts_.say.CurrentLanguage());
  emit Changed(On());
}

QString ShareControl::Origin(int source) const {
  return server_ ? server_->Origin(source) : QString();
}

void ShareControl::Say(const serve::ServerEvent& event) {
  const Language language = parts_.say.CurrentLanguage();
  OwnText which = OwnText::ShareStopped;
  for (const auto& [kind, text] : kEventTexts) {
    if (kind == event.kind) which = text;
  }
  if (event.kind == Kind::Listening && event.count) which = OwnText::ShareListeningOpen;
  if (event.kind == Kind::BeyondLimit) {
    return parts_.say.Event(event.origin,
                            TextIn(OwnText::LineNotSent, language)
                                .arg(event.text, QString::fromStdString(guard::Describe(
                                                     *event.breach, static_cast<int>(language)))));
  }
  QString said = TextIn(which, language);
  if (said.contains("%2")) {
    said = said.arg(event.text, QString::number(event.count));
  } else if (said.contains("%1")) {
    said = event.text.isEmpty() ? said.arg(event.count) : said.arg(event.text);
  }
  const bool dropping = event.kind == Kind::Disconnected || event.kind == Kind::NotReading ||
                        event.kind == Kind::LinkLost;
  if (dropping && event.count)
    said += "; " + TextIn(OwnText::ShareDropped, language).arg(event.count);
  parts_.say.Event(event.origin, said);
}

void ShareControl::ShowClients() {
  pane_->setVisible(On());
  if (!On()) return;
  const bool open = !net::IsLoopback(host_.toStdString());
  pane_->setText(
      TextIn(open ? OwnText::SharePaneOpen : OwnText::SharePane, parts_.say.CurrentLanguage())
          .arg(server_->Clients()));
  pane_->setToolTip(Address());
}

void ShareControl::ApplyLanguage(Language language) {
  toggle_->setText(TextIn(OwnText::ShareToggle, language).arg(Address()));
  speech_->setItemText(0, TextIn(OwnText::ShareSpeaksLines, language));
  speech_->setItemText(1, TextIn(OwnText::ShareSpeaksScpi, language));
  speech_->setAccessibleName(TextIn(OwnText::ShareSpeech, language));
  speech_->setMinimumWidth(speech_->sizeHint().width());  // the status text gives way first
  ShowClients();
}

}  // namespace zrt::window
