#include "window/port/status_line.h"

#include <QStatusBar>
#include <cstring>

#include "window/form/own_texts.h"

namespace zrt::window {
namespace {

// Each state's whole text and its pane's short form, by Serial::State.
constexpr std::pair<OwnText, OwnText> kSerialTexts[] = {
    {OwnText::PortClosed, OwnText::PaneClosed},
    {OwnText::PortOpen, OwnText::PaneOpen},
    {OwnText::PortHeld, OwnText::PaneHeld},
    {OwnText::PortComingBack, OwnText::PaneComingBack},
};

// A port's name as its pane shows it: a local one without "/dev/", a
// network one without its scheme.
QString ShortPortName(const QString& name) {
  for (const char* prefix : {"/dev/", "rfc2217://", "tcp://"}) {
    if (name.startsWith(QLatin1String(prefix))) return name.mid(qsizetype(std::strlen(prefix)));
  }
  return name;
}

}  // namespace

StatusLine::StatusLine(QStatusBar& bar, QObject* parent)
    : QObject(parent), panes_(bar.findChildren<QLabel*>()), text_(new QLabel(&bar)) {
  text_->setObjectName("StatusText");
  // It takes the room the switches leave, never theirs.
  text_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  bar.addWidget(text_, 1);
  note_.setSingleShot(true);
  note_.setInterval(kNoteMs);
  connect(&note_, &QTimer::timeout, this, [this] {
    text_->setText(whole_);
    text_->setToolTip(whole_);
  });
}

QString StatusLine::SerialText(const Serial& serial, Language language, bool brief) {
  const auto& [whole, pane] = kSerialTexts[static_cast<int>(serial.state)];
  if (brief) return TextIn(pane, language).arg(ShortPortName(serial.port));
  return TextIn(whole, language).arg(serial.port, serial.rate);
}

QString StatusLine::UsbText(bool opened, Language language) {
  return TextIn(opened ? OwnText::UsbOpened : OwnText::UsbNotOpened, language);
}

void StatusLine::Show(const Serial& serial, bool usbOpened, Language language) {
  if (panes_.size() < 2) return;
  whole_ = SerialText(serial, language);
  const QString whole[] = {whole_, UsbText(usbOpened, language)};
  const QString brief[] = {SerialText(serial, language, true), whole[1]};
  for (int i = 0; i < 2; ++i) {
    QLabel* pane = panes_[i];
    pane->setText(
        pane->fontMetrics().elidedText(brief[i], Qt::ElideMiddle, pane->contentsRect().width()));
    pane->setToolTip(whole[i]);
  }
  if (note_.isActive()) return;  // the note stands, and its tooltip with it
  text_->setText(whole_);
  text_->setToolTip(whole_);
}

void StatusLine::Note(const QString& text) {
  text_->setText(text);
  text_->setToolTip(text);  // whole where the line cuts it
  note_.start();
}

}  // namespace zrt::window
