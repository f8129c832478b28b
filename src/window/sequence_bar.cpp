#include "window/sequence_bar.h"

#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <memory>

#include "window/main_window.h"
#include "window/own_texts.h"

namespace zrt::window {

using sequence::Runner;

FormLink::FormLink(TForm1& form) : form_(form) {
  connect(&form_, &TForm1::FrameDone, this, &FormLink::FrameSent);
  connect(&form_, &TForm1::SendReady, this, &FormLink::BecameReady);
  connect(&form_, &TForm1::BlockReceived, this, &FormLink::Received);
  connect(&form_, &TForm1::SerialLinkLost, this, &FormLink::Lost);
}

bool FormLink::Ready() const { return form_.ReadyToSend(); }

void FormLink::Send(const QString& line) {
  // A line that could not begin has been told to the operator as Send tells it.
  if (!form_.SendFromSequence(line)) emit FrameSent(false);
}

SequenceBar::SequenceBar(TForm1& form, QWidget* parent)
    : QWidget(parent),
      form_(form),
      link_(form),
      runner_(link_),
      load_(new QPushButton(this)),
      run_(new QPushButton(this)),
      step_(new QPushButton(this)),
      pause_(new QPushButton(this)),
      stop_(new QPushButton(this)),
      where_(new QLabel(this)) {
  setObjectName("SequenceBar");
  const std::pair<QPushButton*, const char*> names[] = {
      {load_, "SequenceLoad"},   {run_, "SequenceRun"},   {step_, "SequenceStep"},
      {pause_, "SequencePause"}, {stop_, "SequenceStop"},
  };
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  for (const auto& [button, name] : names) {
    button->setObjectName(name);
    layout->addWidget(button);
  }
  where_->setObjectName("SequenceWhere");
  where_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(where_, 1);

  connect(load_, &QPushButton::clicked, this, &SequenceBar::AskForFile);
  connect(run_, &QPushButton::clicked, &runner_, &Runner::Run);
  connect(step_, &QPushButton::clicked, &runner_, &Runner::StepOnce);
  connect(pause_, &QPushButton::clicked, &runner_, &Runner::Pause);
  connect(stop_, &QPushButton::clicked, &runner_, &Runner::Stop);
  connect(&runner_, &Runner::StateChanged, this, &SequenceBar::ShowState);
  connect(&runner_, &Runner::StepStarted, this, &SequenceBar::ShowStep);
  connect(&runner_, &Runner::Finished, this, &SequenceBar::Ended);
  ApplyLanguage(language_);
  ShowState();
}

void SequenceBar::ApplyLanguage(Language language) {
  language_ = language;
  const std::pair<QPushButton*, OwnText> captions[] = {
      {load_, OwnText::SequenceLoad}, {run_, OwnText::SequenceRun},
      {step_, OwnText::SequenceStep}, {pause_, OwnText::SequencePause},
      {stop_, OwnText::SequenceStop},
  };
  for (const auto& [button, text] : captions) button->setText(TextIn(text, language));
}

void SequenceBar::AskForFile() {
  const QString path = QFileDialog::getOpenFileName(this, TextIn(OwnText::SequenceLoad, language_),
                                                    {}, TextIn(OwnText::SequenceFilter, language_));
  if (!path.isEmpty()) Load(path);
}

bool SequenceBar::Load(const QString& path) {
  if (runner_.CurrentState() != Runner::State::Idle || loading_) return false;
  loading_ = true;
  ShowState();
  // A large file takes a while to read and expand: the window goes on
  // meanwhile, and hears of the result on its own thread.
  auto result = std::make_shared<std::pair<QString, sequence::Parsed>>();
  reader_.reset(QThread::create([path, result] {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
      result->first = file.errorString();
    } else {
      result->second = sequence::ParseDevice(file, QFileInfo(path).fileName());
    }
  }));
  connect(reader_.get(), &QThread::finished, this,
          [this, path, result] { Loaded(path, result->first, result->second); });
  reader_->start();
  return true;
}

SequenceBar::~SequenceBar() {
  if (reader_) reader_->wait();  // reading is bounded by the file limit
}

void SequenceBar::Loaded(const QString& path, const QString& unreadable,
                         const sequence::Parsed& parsed) {
  loading_ = false;
  const auto finish = qScopeGuard([this] { ShowState(); });
  if (!unreadable.isEmpty()) {
    Say(TextIn(OwnText::SequenceUnreadable, language_).arg(path, unreadable), true);
    return emit LoadFinished(false);
  }
  if (const auto* error = std::get_if<sequence::ParseError>(&parsed)) {
    Say(sequence::Describe(*error, static_cast<int>(language_)), true);
    return emit LoadFinished(false);
  }
  const QString name = QFileInfo(path).fileName();
  file_ = name;
  runner_.Load(std::get<std::vector<sequence::Step>>(parsed));
  Say(TextIn(OwnText::SequenceLoaded, language_).arg(name, QString::number(runner_.Steps().size())),
      false);
  emit LoadFinished(true);
}

void SequenceBar::ShowState() {
  const Runner::State state = runner_.CurrentState();
  const bool loaded = !runner_.Steps().empty();
  load_->setEnabled(state == Runner::State::Idle && !loading_);
  run_->setEnabled(loaded && state != Runner::State::Running);
  step_->setEnabled(loaded && state != Runner::State::Running);
  pause_->setEnabled(state == Runner::State::Running);
  stop_->setEnabled(state != Runner::State::Idle);
  form_.SetSequenceRunning(state != Runner::State::Idle);
}

void SequenceBar::ShowStep(int index) {
  const sequence::Step& step = runner_.Steps()[static_cast<std::size_t>(index)];
  QString what;
  switch (step.kind) {
    case sequence::Step::Kind::Send:
      what = step.text;
      break;
    case sequence::Step::Kind::Wait:
      what = QString("wait %1 ms").arg(step.duration.count());
      break;
    case sequence::Step::Kind::Expect:
      what = "expect " + (step.pattern ? "/" + step.text + "/" : step.text);
      break;
  }
  where_->setStyleSheet({});
  // One pass, so that a % in the file's name or the line is shown as it is.
  where_->setText(TextIn(OwnText::SequenceStepOf, language_)
                      .arg(QString::number(index + 1), QString::number(runner_.Steps().size()),
                           file_, QString::number(step.line), what));
}

void SequenceBar::Ended(Runner::Outcome outcome, int index) {
  const auto& steps = runner_.Steps();
  const sequence::Step& step =
      steps[static_cast<std::size_t>(std::min<int>(index, steps.size() - 1))];
  Say(sequence::Explain(outcome, file_, step, runner_.Reply(), static_cast<int>(language_)),
      outcome != Runner::Outcome::Completed && outcome != Runner::Outcome::Stopped);
}

void SequenceBar::Say(const QString& text, bool trouble) {
  where_->setStyleSheet(trouble ? "color: #b00000;" : QString());
  where_->setText(text);
  where_->setToolTip(text);
  form_.Log().Append({QDateTime::currentDateTime(), LogEntry::Kind::Event, {}, {}, text});
}

}  // namespace zrt::window
