#include "window/send/sequence_bar.h"

#include <QDateTime>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <memory>

#include "window/form/own_texts.h"
#include "window/log/session_log.h"

namespace zrt::window {

using sequence::Runner;

SequenceBar::SequenceBar(sequence::LineLink& link, SessionLog& log, QWidget* parent)
    : QWidget(parent),
      log_(log),
      runner_(link),
      load_(new QPushButton(this)),
      reload_(new QPushButton(this)),
      run_(new QPushButton(this)),
      runFromHere_(new QPushButton(this)),
      step_(new QPushButton(this)),
      pause_(new QPushButton(this)),
      stop_(new QPushButton(this)),
      where_(new QLabel(this)) {
  setObjectName("SequenceBar");
  const std::pair<QPushButton*, const char*> names[] = {
      {load_, "SequenceLoad"},
      {reload_, "SequenceReload"},
      {run_, "SequenceRun"},
      {step_, "SequenceStep"},
      {pause_, "SequencePause"},
      {stop_, "SequenceStop"},
      {runFromHere_, "SequenceRunFromHere"},
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
  connect(reload_, &QPushButton::clicked, this, [this] { Load(path_); });
  connect(run_, &QPushButton::clicked, this, &SequenceBar::Run);
  connect(runFromHere_, &QPushButton::clicked, this, &SequenceBar::RunFromHere);
  connect(&runner_, &Runner::ExpectChecked, this, [this](int index, bool met) {
    const sequence::Step& step = runner_.Steps()[static_cast<std::size_t>(index)];
    const QString expect = step.pattern ? "/" + step.text + "/" : "\"" + step.text + "\"";
    log_.Append({QDateTime::currentDateTime(),
                 LogEntry::Kind::Event,
                 file_,
                 {},
                 TextIn(met ? OwnText::ExpectMet : OwnText::ExpectMissed, language_).arg(expect)});
  });
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
      {load_, OwnText::SequenceLoad},
      {reload_, OwnText::SequenceReload},
      {run_, OwnText::SequenceRun},
      {step_, OwnText::SequenceStep},
      {pause_, OwnText::SequencePause},
      {stop_, OwnText::SequenceStop},
      {runFromHere_, OwnText::SequenceRunFromHere},
  };
  for (const auto& [button, text] : captions) button->setText(TextIn(text, language));
}

void SequenceBar::AskForFile() {
  const QString path = QFileDialog::getOpenFileName(this, TextIn(OwnText::SequenceLoad, language_),
                                                    {}, TextIn(OwnText::SequenceFilter, language_));
  if (!path.isEmpty()) Load(path);
}

bool SequenceBar::Load(const QString& path) {
  if (runner_.CurrentState() != Runner::State::Idle || loading_ || path.isEmpty()) return false;
  loading_ = true;
  path_ = path;
  stamp_ = Stamp();  // before reading: a change while it is read shows next time
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
  failedAt_ = -1;
  const bool runNow = std::exchange(runWhenLoaded_, false);
  const auto finish = qScopeGuard([this] { ShowState(); });
  const QString refusal =
      !unreadable.isEmpty() ? TextIn(OwnText::SequenceUnreadable, language_).arg(path, unreadable)
      : std::holds_alternative<sequence::ParseError>(parsed)
          ? sequence::Describe(std::get<sequence::ParseError>(parsed), static_cast<int>(language_))
          : QString();
  if (!refusal.isEmpty()) {
    // Nothing stays loaded: Run must not run the file read before.
    runner_.Load({});
    file_.clear();
    Say(refusal, true);
    return emit LoadFinished(false);
  }
  const QString name = QFileInfo(path).fileName();
  file_ = name;
  runner_.Load(std::get<std::vector<sequence::Step>>(parsed));
  Say(TextIn(OwnText::SequenceLoaded, language_).arg(name, QString::number(runner_.Steps().size())),
      false);
  emit LoadFinished(true);
  if (runNow) runner_.Run();
}

std::pair<QDateTime, qint64> SequenceBar::Stamp() const {
  const QFileInfo info(path_);
  return {info.lastModified(), info.size()};
}

void SequenceBar::Run() {
  if (runner_.CurrentState() == Runner::State::Paused) return runner_.Run();
  if (runner_.CurrentState() != Runner::State::Idle) return;
  // The file as it is now, not as it was when it was loaded.
  if (!path_.isEmpty() && Stamp() != stamp_) {
    const QString path = path_;
    if (!Load(path)) return;
    Say(TextIn(OwnText::SequenceReread, language_).arg(QFileInfo(path).fileName()), false);
    runWhenLoaded_ = true;
    return;
  }
  runner_.Run();
}

void SequenceBar::RunFromHere() {
  if (failedAt_ < 0 || runner_.CurrentState() != Runner::State::Idle) return;
  runner_.RunFrom(std::exchange(failedAt_, -1));
}

void SequenceBar::ShowState() {
  const Runner::State state = runner_.CurrentState();
  const bool loaded = !runner_.Steps().empty();
  load_->setEnabled(state == Runner::State::Idle && !loading_);
  reload_->setEnabled(state == Runner::State::Idle && !loading_ && !path_.isEmpty());
  run_->setEnabled(loaded && state != Runner::State::Running && !loading_);
  runFromHere_->setVisible(failedAt_ >= 0);
  runFromHere_->setEnabled(failedAt_ >= 0 && state == Runner::State::Idle);
  step_->setEnabled(loaded && state != Runner::State::Running && !loading_);
  pause_->setEnabled(state == Runner::State::Running);
  stop_->setEnabled(state != Runner::State::Idle);
  emit RunningChanged(state != Runner::State::Idle);
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
  ShowTrouble(false);
  // One pass, so that a % in the file's name or the line is shown as it is.
  where_->setText(TextIn(OwnText::SequenceStepOf, language_)
                      .arg(QString::number(index + 1), QString::number(runner_.Steps().size()),
                           file_, QString::number(step.line), what));
}

void SequenceBar::Ended(Runner::Outcome outcome, int index) {
  const auto& steps = runner_.Steps();
  const sequence::Step& step =
      steps[static_cast<std::size_t>(std::min<int>(index, steps.size() - 1))];
  const bool failed = outcome != Runner::Outcome::Completed && outcome != Runner::Outcome::Stopped;
  // A failed step can be run again: an expect from the line whose reply it checks.
  failedAt_ = -1;
  if (failed && index < static_cast<int>(steps.size())) {
    failedAt_ = index;
    auto kindAt = [&](int i) { return steps[static_cast<std::size_t>(i)].kind; };
    if (kindAt(index) == sequence::Step::Kind::Expect) {
      while (failedAt_ > 0 && kindAt(failedAt_) != sequence::Step::Kind::Send) --failedAt_;
    }
  }
  const Runner::Tally tally = runner_.Summary();
  const QString summary = TextIn(OwnText::RunSummary, language_)
                              .arg(tally.lines)
                              .arg(tally.replies)
                              .arg(tally.met)
                              .arg(tally.missed)
                              .arg(static_cast<double>(tally.took.count()) / 1000.0, 0, 'f', 1);
  Say(sequence::Explain(outcome, file_, step, runner_.Reply(), static_cast<int>(language_),
                        runner_.Breach()) +
          " — " + summary,
      failed);
  ShowState();
}

void SequenceBar::Say(const QString& text, bool trouble) {
  ShowTrouble(trouble);
  where_->setText(text);
  where_->setToolTip(text);
  log_.Append({QDateTime::currentDateTime(), LogEntry::Kind::Event, {}, {}, text});
}

void SequenceBar::ShowTrouble(bool trouble) {
  trouble_ = trouble;
  // A red that reads on the palette's window colour, light or dark.
  const bool dark = palette().color(QPalette::Window).lightness() < 128;
  where_->setStyleSheet(trouble ? (dark ? "color: #ff8a80;" : "color: #b00000;") : QString());
}

void SequenceBar::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::PaletteChange && trouble_) ShowTrouble(true);
}

}  // namespace zrt::window
