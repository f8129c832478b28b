// zrt-send: command lines and sequence files sent from a shell or a test
// script, as the panel's Send sends them, with each reply printed.
#include <QCoreApplication>
#include <QFile>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string_view>

#include "cli/opened_link.h"
#include "cli/reply_output.h"
#include "cli/send_options.h"
#include "cli/stop_request.h"
#include "guard/guard.h"
#include "protocol/send_steps.h"
#include "settings/read_back.h"

namespace {

using namespace zrt;
using sequence::Runner;

int Fail(int status, const QString& text) {
  std::fprintf(stderr, "zrt-send: %s\n", text.toLocal8Bit().constData());
  return status;
}

// The steps: the lines given, one step each, the read back's questions, or
// a sequence file.
std::variant<std::vector<sequence::Step>, int> StepsOf(const cli::SendOptions& options,
                                                       QString& source) {
  if (options.readBack) {
    std::vector<sequence::Step> steps;
    const std::string address = options.link.address.toStdString();
    for (const settings::ItemName& name : settings::ReadBackItems()) {
      steps.push_back({sequence::Step::Kind::Send,
                       QString::fromStdString(settings::QueryLine(address, name)), false,
                       options.timeout, static_cast<int>(steps.size()) + 1});
    }
    source = "read back";
    return steps;
  }
  if (!options.lines.isEmpty()) {
    std::vector<sequence::Step> steps;
    for (int i = 0; i < options.lines.size(); ++i) {
      // Refused before anything is sent, as a sequence file's line is.
      if (const auto missing = protocol::FirstWithoutByte(options.lines[i])) {
        return Fail(cli::kUsage, QString("argument %1: %2 has no byte the instrument takes")
                                     .arg(i + 1)
                                     .arg(protocol::Describe(*missing)));
      }
      steps.push_back(
          {sequence::Step::Kind::Send, options.lines[i], false, options.timeout, i + 1});
    }
    source = "argument";
    return steps;
  }
  QFile file;
  if (options.stdinFile) {
    source = "<stdin>";
    if (!file.open(stdin, QIODevice::ReadOnly))
      return Fail(cli::kUsage, "cannot read standard input");
  } else {
    source = options.file;
    file.setFileName(options.file);
    if (!file.open(QIODevice::ReadOnly)) {
      return Fail(cli::kUsage, options.file + ": " + file.errorString());
    }
  }
  const sequence::Parsed parsed = sequence::ParseDevice(file, source, options.timeout);
  if (const auto* error = std::get_if<sequence::ParseError>(&parsed)) {
    return Fail(cli::kUsage, sequence::Describe(*error));
  }
  return std::get<std::vector<sequence::Step>>(parsed);
}

// A line the guard would refuse even if every line before it were taken,
// refused before anything is sent. What it would read back first is the
// session's to judge, once the instrument has told it.
int CheckLimits(const std::vector<sequence::Step>& steps, const guard::Limits& limits,
                const QString& source) {
  guard::Guard guard;
  guard.SetLimits(limits);
  for (const sequence::Step& step : steps) {
    if (step.kind != sequence::Step::Kind::Send) continue;
    const std::string line = protocol::ToLine(step.text).toStdString();
    if (const guard::Verdict verdict = guard.Judge(line); verdict.Refused()) {
      return Fail(cli::kUsage, source + ":" + QString::number(step.line) + ": not sent: " +
                                   QString::fromStdString(guard::Describe(*verdict.breach)));
    }
    guard.Sent(line);
    guard.Answered(line, "OK");
  }
  return cli::kSent;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const auto parsed = cli::ParseSendOptions(app.arguments());
  if (const auto* exit = std::get_if<cli::Exit>(&parsed)) {
    std::fputs(exit->text.toLocal8Bit().constData(), exit->status == 0 ? stdout : stderr);
    return exit->status;
  }
  const cli::SendOptions& options = std::get<cli::SendOptions>(parsed);
  QString source;
  auto steps = StepsOf(options, source);
  if (const int* status = std::get_if<int>(&steps)) return *status;
  if (std::get<std::vector<sequence::Step>>(steps).empty()) return cli::kSent;
  if (const int status =
          CheckLimits(std::get<std::vector<sequence::Step>>(steps), options.link.limits, source)) {
    return status;
  }

  // Taken before the port is, so that an interrupt from here on ends the
  // run as below (it is handled once the run's loop goes).
  cli::StopRequest stop;
  auto opened = cli::OpenLink(options.link);
  if (const auto* exit = std::get_if<cli::Exit>(&opened)) return Fail(exit->status, exit->text);
  const std::unique_ptr<cli::AddressedLink>& link = std::get<cli::OpenedLink>(opened).link;

  if (options.format != cli::ReplyFormat::Text) cli::SetBinaryOutput();
  Runner runner(link->Line());
  QObject::connect(link.get(), &cli::AddressedLink::HeldTooLong, [&] {
    const double seconds = static_cast<double>(options.link.holdLimit.count()) / 1000.0;
    QCoreApplication::exit(
        Fail(cli::kHeldTooLong, QString("the instrument held output back (XOFF) for more than %1 "
                                        "s: the line was not sent whole")
                                    .arg(seconds)));
  });
  runner.Load(std::move(std::get<std::vector<sequence::Step>>(steps)));

  // An interrupt (or a closed output) lets the frame on the wire finish and
  // sends nothing more, so that no half line is left in the instrument; the
  // port and its locks are let go on the way out. A second one ends at once.
  std::optional<int> stopping;
  session::LineSession& session = link->Session();
  // Between two frames the next may already be handed over: the run ends
  // only with no frame going out and none waiting to.
  auto endWhenIdle = [&] {
    if (stopping && !session.Sending() && session.Waiting() == 0) {
      QCoreApplication::exit(*stopping);
    }
  };
  QObject::connect(&stop, &cli::StopRequest::Requested, [&](int status) {
    if (stopping) {
      if (session.Sending()) {
        Fail(0, QString("interrupted again: %1 of the line's %2 bytes went out")
                    .arg(session.HandedOver())
                    .arg(session.FrameSize()));
      }
      return QCoreApplication::exit(*stopping);
    }
    stopping = status;
    if (status != cli::StopRequest::kOutputClosed && session.Sending()) {
      Fail(0, "interrupted: the line going out is finished first");
    }
    runner.Stop();
    session.DropWaiting();
    endWhenIdle();
  });
  QObject::connect(&session, &session::LineSession::FrameDone, endWhenIdle);
  QObject::connect(&session, &session::LineSession::HeldTooLong, endWhenIdle);
  auto write = [](const QByteArray& out) {
    std::fwrite(out.constData(), 1, static_cast<std::size_t>(out.size()), stdout);
    std::fflush(stdout);
  };
  // A JSON line waits for the expects after it, which it carries.
  std::optional<cli::Exchange> pending;
  auto flush = [&] {
    if (pending) write(cli::Format(options.format, *pending));
    pending.reset();
  };
  auto print = [&](int index, const QByteArray& reply) {
    flush();
    const sequence::Step& step = runner.Steps()[static_cast<std::size_t>(index)];
    pending = cli::Exchange{
        QDateTime::currentDateTime(), step.text, link->LastFrame(), reply, !reply.isEmpty(), {}};
    if (options.format != cli::ReplyFormat::Json) flush();
    return step;
  };
  QObject::connect(&runner, &Runner::Replied, [&](int index, const QByteArray& reply) {
    if (options.readBack) {
      const settings::ItemName& name = settings::ReadBackItems()[static_cast<std::size_t>(index)];
      return write(cli::FormatReadBack(
          options.format, QString::fromLatin1(name.function.data(), name.function.size()),
          QString::fromLatin1(name.item.data(), name.item.size()), reply));
    }
    const sequence::Step& step = print(index, reply);
    if (reply.isEmpty()) {
      Fail(0, source + ":" + QString::number(step.line) + ": no reply within " +
                  QString::number(step.duration.count() / 1000.0) + " s");
    }
  });
  QObject::connect(&runner, &Runner::ExpectChecked, [&](int index, bool met) {
    const sequence::Step& step = runner.Steps()[static_cast<std::size_t>(index)];
    if (pending) {
      pending->expects.push_back({step.pattern ? "/" + step.text + "/" : step.text, met});
    }
  });
  // Bytes that came after a pause in a reply, on a line of their own.
  QObject::connect(&runner, &Runner::RepliedLate, print);
  QObject::connect(&runner, &Runner::Finished, [&](Runner::Outcome outcome, int index) {
    if (stopping) return endWhenIdle();
    flush();
    // A sequence file's run ends with its summary.
    if (options.lines.isEmpty() && !options.readBack) {
      const Runner::Tally tally = runner.Summary();
      const QByteArray summary = cli::FormatSummary(options.format, tally.lines, tally.replies,
                                                    tally.met, tally.missed, tally.took);
      if (options.format == cli::ReplyFormat::Json) {
        write(summary);
      } else {
        Fail(0, QString::fromUtf8(summary.trimmed()));
      }
    }
    int status = cli::kSent;
    switch (outcome) {
      case Runner::Outcome::Completed:
        status = runner.MissingReplies() > 0 ? cli::kUnanswered : cli::kSent;
        break;
      case Runner::Outcome::Stopped:
      case Runner::Outcome::ExpectMissed:
      case Runner::Outcome::ExpectUnmatched:
        status = cli::kUnanswered;
        break;
      case Runner::Outcome::BeyondLimit:
        status = cli::kUsage;
        break;
      case Runner::Outcome::NotSent:
      case Runner::Outcome::LinkLost:
        status = cli::kGone;
        // A server that closed before the first line went out never gave
        // the port: the port is busy with someone else, most likely.
        if (link->ClosedBeforeFirstLine()) {
          return void(QCoreApplication::exit(Fail(cli::kCannotOpen, link->LostReason())));
        }
        if (const QString why = link->LostReason(); !why.isEmpty()) Fail(0, why);
        break;
    }
    if (outcome != Runner::Outcome::Completed) {
      const auto& all = runner.Steps();
      Fail(status,
           sequence::Explain(outcome, source,
                             all[static_cast<std::size_t>(std::min<int>(index, all.size() - 1))],
                             runner.Reply(), 0, runner.Breach()));
    }
    QCoreApplication::exit(status);
  });
  QTimer::singleShot(0, &runner, &Runner::Run);
  return QCoreApplication::exec();
}
