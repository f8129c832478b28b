#include "window/instrument/instrument_control.h"

#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <QMenu>
#include <QSaveFile>
#include <QShortcut>
#include <QStandardPaths>

#include "guard/limits.h"
#include "settings/preset.h"
#include "window/form/own_texts.h"
#include "window/instrument/instrument_view.h"
#include "window/instrument/limits_dialog.h"
#include "window/instrument/setting_text.h"
#include "window/send/announcer.h"
#include "window/send/sequence_bar.h"

namespace zrt::window {
namespace {

constexpr char kPresetSuffix[] = ".zrt";

}  // namespace

InstrumentControl::InstrumentControl(Parts parts, QObject* parent)
    : QObject(parent),
      parts_(std::move(parts)),
      readBack_(parts_.session, kSource, parts_.settings),
      tuning_(parts_.session, kTuneSource, parts_.settings) {
  connect(&parts_.session, &session::LineSession::KnownChanged, this, &InstrumentControl::Refresh);
  connect(&readBack_, &session::ReadBackRun::Asking, this, [this](int index, int total) {
    progress_ = {index + 1, total};
    ShowProgress();
  });
  connect(&readBack_, &session::ReadBackRun::Finished, this,
          [this](int answered, int asked, bool completed) {
            progress_ = {asked, progress_.of, answered, true, completed};
            ShowProgress();
            parts_.say.Event(
                {}, TextIn(completed ? OwnText::ReadBackDone : OwnText::ReadBackStopped, language_)
                        .arg(answered)
                        .arg(asked));
          });
  connect(&tuning_, &session::TuningSender::Answered, this,
          [this](const QString& line, const QByteArray& reply) {
            if (view_) view_->Answered(line, reply);
          });
  connect(&tuning_, &session::TuningSender::NotSent, this,
          [this](const QString& line, const session::WhyNotSent& why) {
            const QString said = NotSentText(line, why);
            parts_.say.Event({}, said);
            StopRepeating(said);
          });
  auto* off = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O), &parts_.window);
  off->setContext(Qt::WindowShortcut);
  connect(off, &QShortcut::activated, this, &InstrumentControl::AllOutputsOff);
}

void InstrumentControl::AllOutputsOff() {
  const std::size_t waiting = parts_.session.Waiting();
  // A line of any source's waiting to switch an output on would undo it.
  const int dropped = parts_.session.RefuseWaitingOutputsOn();
  const session::LineSettings settings = parts_.settings();
  int sent = 0;
  for (const char* function : {"CHA", "CHB"}) {
    const QString item = QString(function) + ":SWITCH";
    tuning_.DropWaiting(item);  // a value waiting would switch it on again
    const QString line = settings.address + item + "0No.";
    try {
      parts_.session.SubmitAhead(parts_.session.Prepare(kOffSource, line, settings));
      ++sent;
    } catch (const std::exception&) {  // an address or a rate that is no number
      parts_.say.Event({}, TextIn(OwnText::ShareBadSettings, language_).arg(line));
    }
  }
  if (sent) {
    parts_.say.Event({}, TextIn(OwnText::AllOutputsOffSent, language_).arg(waiting).arg(dropped));
  }
}

QWidget* InstrumentControl::MakeView(QWidget* parent) {
  view_ = new InstrumentView(parent);
  view_->ApplyLanguage(language_);
  connect(view_, &InstrumentView::ReadBackClicked, this, &InstrumentControl::ReadBack);
  connect(view_, &InstrumentView::StopClicked, this, &InstrumentControl::StopReadBack);
  connect(view_, &InstrumentView::SavePresetClicked, this, &InstrumentControl::AskForPresetName);
  connect(view_, &InstrumentView::LimitsClicked, this, &InstrumentControl::AskForLimits);
  connect(view_, &InstrumentView::PresetsOpening, this, &InstrumentControl::FillPresetMenu);
  connect(view_, &InstrumentView::SettingChosen, this, &InstrumentControl::SendSetting);
  connect(view_, &InstrumentView::AllOffClicked, this, &InstrumentControl::AllOutputsOff);
  connect(view_, &InstrumentView::LimitNoted, this, &InstrumentControl::NoteLimit);
  connect(view_, &InstrumentView::SettingChosen, this, [this] { limitLogged_.clear(); });
  view_->SetGuard([this](const std::string& setting) { return Beyond(setting); });
  view_->SetHoldLeft([this] { return parts_.session.HoldLeft(); });
  Refresh();
  return view_;
}

void InstrumentControl::NoteLimit(const QString& why) {
  parts_.note(why);
  // In the log once while the same limit stops a value again and again (a
  // wheel turned on against it), until a value goes out.
  if (why == limitLogged_) return;
  limitLogged_ = why;
  parts_.say.Event(parts_.logName(), why);
}

void InstrumentControl::ShowProgress() {
  if (!view_ || progress_.of == 0) return;
  if (!progress_.over) {
    return view_->ShowProgress(
        TextIn(OwnText::ReadBackProgress, language_).arg(progress_.at).arg(progress_.of), true);
  }
  view_->ShowProgress(
      TextIn(progress_.completed ? OwnText::ReadBackDone : OwnText::ReadBackStopped, language_)
          .arg(progress_.answered)
          .arg(progress_.at),
      false);
}

void InstrumentControl::Refresh() {
  if (view_) view_->Show(parts_.session.Known(), Limits());
}

std::optional<std::string> InstrumentControl::Beyond(const std::string& setting) const {
  const guard::Verdict verdict = parts_.session.Guard().Judge(setting);
  if (!verdict.Refused()) return std::nullopt;
  return guard::Describe(*verdict.breach, static_cast<int>(language_));
}

bool InstrumentControl::NeedsConfirmation(const QString& item, const QString& setting) const {
  if (!item.endsWith(":SWITCH") || !setting.endsWith("1No.") || !Limits().Any()) return false;
  // The guard would read back first what it does not know.
  return !parts_.session.Guard().Judge(setting.toStdString()).readFirst.empty();
}

QString InstrumentControl::NotSentText(const QString& line, const session::WhyNotSent& why) const {
  using Kind = session::WhyNotSent::Kind;
  switch (why.kind) {
    case Kind::NotStarted:
      return TextIn(OwnText::LineNotSent, language_)
          .arg(line, why.refusal.breach ? QString::fromStdString(guard::Describe(
                                              *why.refusal.breach, static_cast<int>(language_)))
                                        : QString::fromStdString(why.refusal.rateRefused.reason));
    case Kind::LinkLost:
      return TextIn(OwnText::LineNotSent, language_)
          .arg(line, TextIn(OwnText::ShareLinkLost, language_));
    case Kind::BadSettings:
      break;
  }
  return TextIn(OwnText::ShareBadSettings, language_).arg(line);
}

void InstrumentControl::StopRepeating(const QString& why) {
  if (!view_ || !view_->Repeating()) return;
  view_->StopRepeating();
  parts_.say.Event({}, TextIn(OwnText::MeasuringStopped, language_).arg(why));
}

void InstrumentControl::SendSetting(const QString& item, const QString& setting) {
  if (!parts_.linkOpen()) {
    // Nothing would go: said as Send says it, and nothing measures again.
    StopRepeating(TextIn(OwnText::ReadBackNoLink, language_));
  }
  const QString line = parts_.settings().address + setting;
  if (!NeedsConfirmation(item, setting)) return tuning_.Set(item, line);
  parts_.messages.Ask({OperatorMessage::Kind::Question,
                       parts_.say.Title(),
                       TextIn(OwnText::OutputOnUnread, language_),
                       {}},
                      [this, item, line](bool yes) {
                        if (yes) return tuning_.Set(item, line);
                        Refresh();  // the switch shows what the instrument has
                      });
}

void InstrumentControl::ReadBack() {
  if (!parts_.linkOpen()) {
    return parts_.say.Tell({OperatorMessage::Kind::Notice,
                            parts_.say.Title(),
                            TextIn(OwnText::ReadBackNoLink, language_),
                            {}});
  }
  readBack_.Start();
}

void InstrumentControl::SetLimits(const guard::Limits& limits) {
  if (limits == Limits()) return;
  parts_.session.SetLimits(limits);
  parts_.say.Event({}, TextIn(OwnText::LimitsSet, language_)
                           .arg("A: " + LimitsText(limits.a, language_) +
                                "; B: " + LimitsText(limits.b, language_)));
  Refresh();
  emit LimitsChanged(limits);
}

void InstrumentControl::AskForLimits() {
  auto* dialog = new LimitsDialog(Limits(), language_, &parts_.window);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &QDialog::accepted, this,
          [this, dialog] { SetLimits(std::get<guard::Limits>(dialog->Entered())); });
  dialog->open();
}

QString InstrumentControl::PresetFolder() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
         "/zrt-panel/presets";
}

QStringList InstrumentControl::Presets() const {
  QStringList names;
  for (const QFileInfo& file : QDir(PresetFolder())
                                   .entryInfoList({QString("*") + kPresetSuffix}, QDir::Files,
                                                  QDir::Name | QDir::IgnoreCase)) {
    names << file.completeBaseName();
  }
  return names;
}

// A name is kept to what every system takes in a file's name.
QString InstrumentControl::PresetPath(const QString& name) const {
  QString safe = name.trimmed();
  static const QString kNotInFileNames = R"(<>:"/\|?*)";
  for (QChar& c : safe) {
    if (kNotInFileNames.contains(c) || c.unicode() < 0x20) c = '_';
  }
  return PresetFolder() + "/" + safe + kPresetSuffix;
}

bool InstrumentControl::SavePreset(const QString& name) {
  const QString path = PresetPath(name);
  QSaveFile file(path);
  const bool saved =
      QDir().mkpath(PresetFolder()) && file.open(QIODevice::WriteOnly) &&
      file.write(QByteArray::fromStdString(settings::PresetText(
          parts_.session.Known(), parts_.settings().address.toStdString(), name.toStdString()))) >=
          0 &&
      file.commit();
  if (saved) {
    parts_.say.Event({},
                     TextIn(OwnText::PresetSaved, language_).arg(QDir::toNativeSeparators(path)));
  } else {
    parts_.say.Tell({OperatorMessage::Kind::Notice,
                     parts_.say.Title(),
                     TextIn(OwnText::PresetNotSaved, language_)
                         .arg(QDir::toNativeSeparators(path), file.errorString()),
                     {}});
  }
  return saved;
}

void InstrumentControl::AskForPresetName() {
  bool ok = false;
  const QString name =
      QInputDialog::getText(&parts_.window, TextIn(OwnText::SavePreset, language_),
                            TextIn(OwnText::PresetName, language_), QLineEdit::Normal, {}, &ok);
  if (ok && !name.trimmed().isEmpty()) SavePreset(name);
}

void InstrumentControl::RunPreset(const QString& name) {
  SequenceBar& sequences = parts_.sequences();
  auto once = std::make_shared<QMetaObject::Connection>();
  *once = connect(&sequences, &SequenceBar::LoadFinished, this, [&sequences, once](bool taken) {
    disconnect(*once);
    if (taken) sequences.Run();
  });
  if (!sequences.Load(PresetPath(name))) disconnect(*once);
}

void InstrumentControl::FillPresetMenu() {
  QMenu* menu = view_->PresetMenu();
  menu->clear();
  const QStringList names = Presets();
  if (names.isEmpty()) menu->addAction(TextIn(OwnText::NoPresets, language_))->setEnabled(false);
  for (const QString& name : names) {
    menu->addAction(name, this, [this, name] { RunPreset(name); });
  }
}

void InstrumentControl::ApplyLanguage(Language language) {
  language_ = language;
  if (view_) view_->ApplyLanguage(language);
  ShowProgress();
}

}  // namespace zrt::window
