#include "session/read_back_run.h"

#include "settings/read_back.h"

namespace zrt::session {

ReadBackRun::ReadBackRun(LineSession& session, int source, std::function<LineSettings()> settings,
                         QObject* parent)
    : QObject(parent),
      settings_(settings),
      link_(session, source, std::move(settings)),
      runner_(link_) {
  // The link gone under the read: it ends there, as a sequence does.
  connect(&session, &LineSession::Abandoned, this, [this, source](int whose, bool) {
    if (whose == source) link_.LinkLost();
  });
  connect(&runner_, &sequence::Runner::StepStarted, this, [this](int index) {
    asked_ = index + 1;
    emit Asking(index, Total());
  });
  connect(&runner_, &sequence::Runner::Replied, this,
          [this](int, const QByteArray& reply) { answered_ += !reply.isEmpty(); });
  connect(&runner_, &sequence::Runner::Finished, this,
          [this](sequence::Runner::Outcome outcome, int) {
            emit Finished(answered_, asked_, outcome == sequence::Runner::Outcome::Completed);
          });
}

int ReadBackRun::Total() const { return static_cast<int>(settings::ReadBackItems().size()); }

void ReadBackRun::Start() {
  if (Running()) return;
  const std::string address = settings_().address.toStdString();
  std::vector<sequence::Step> steps;
  for (const settings::ItemName& name : settings::ReadBackItems()) {
    steps.push_back({sequence::Step::Kind::Send,
                     QString::fromStdString(settings::QueryLine(address, name)), false,
                     sequence::kDefaultTimeout, static_cast<int>(steps.size()) + 1});
  }
  answered_ = 0;
  asked_ = 0;
  runner_.Load(std::move(steps));
  runner_.Run();
}

}  // namespace zrt::session
