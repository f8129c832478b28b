// Registration with the port mapper the system runs: each mapping asked
// for with SET over UDP, asked again until answered or a bound passes,
// and taken back (UNSET) when this object goes.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>
#include <chrono>
#include <optional>
#include <vector>

#include "net/datagram_socket.h"
#include "rpc/port_mapper.h"

namespace zrt::serve {

class PortMapperRegistration : public QObject {
  Q_OBJECT

 public:
  static constexpr std::chrono::milliseconds kAskEvery{250};
  static constexpr std::chrono::milliseconds kGiveUpAfter{2000};

  // Registers `mappings` with the port mapper at `mapper` from Start on.
  // Throws net::NetError when no socket can be had to ask with.
  PortMapperRegistration(std::vector<rpc::Mapping> mappings, net::Endpoint mapper,
                         QObject* parent = nullptr);
  // Takes back what was registered: one datagram each, not waited for.
  ~PortMapperRegistration() override;

  void Start();

 signals:
  // Every mapping answered and taken (`registered`), or why not: one
  // refused (its program and version taken already), or no answer
  // within kGiveUpAfter.
  void Done(bool registered, const QString& why);

 private:
  void Ask();
  void Answered();
  void Finish(bool registered, const QString& why);

  struct Pending {
    rpc::Mapping mapping;
    std::uint32_t xid;
    std::optional<bool> taken;
  };
  std::vector<Pending> pending_;
  net::Endpoint mapper_;
  net::DatagramSocket socket_;
  QSocketNotifier* receiving_;
  QTimer asking_;
  QTimer givingUp_;
  bool done_ = false;
};

}  // namespace zrt::serve
