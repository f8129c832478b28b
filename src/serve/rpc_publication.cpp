#include "serve/rpc_publication.h"

#include "net/datagram_socket.h"
#include "net/stream_socket.h"
#include "serve/listen_address.h"
#include "serve/port_mapper_registration.h"
#include "serve/port_mapper_service.h"

namespace zrt::serve {

RpcPublication::RpcPublication(std::vector<rpc::Mapping> mappings, std::string host,
                               std::uint16_t port, QObject* parent)
    : QObject(parent), mappings_(std::move(mappings)), host_(std::move(host)), port_(port) {}

RpcPublication::~RpcPublication() = default;

void RpcPublication::Start() {
  const QString at = ListenAddressText(QString::fromStdString(host_), port_);
  QString whyNotOwn;
  try {
    service_ = std::make_unique<PortMapperService>(mapper_, host_, port_);
  } catch (const net::NetError& error) {
    whyNotOwn = QString::fromStdString(error.what());
  }
  if (service_) {
    for (const std::uint32_t protocol : {rpc::kTcp, rpc::kUdp}) {
      mapper_.Set({rpc::kPortMapperProgram, rpc::kPortMapperVersion, protocol, service_->Port()});
    }
    for (const rpc::Mapping& mapping : mappings_) mapper_.Set(mapping);
    return emit Done(true, "a port mapper of its own on " + at);
  }
  // The system's mapper is asked on this machine, whatever the server listens on.
  const auto system = net::Endpoint::Of("127.0.0.1", port_);
  try {
    registration_ = std::make_unique<PortMapperRegistration>(mappings_, *system);
  } catch (const net::NetError& error) {
    return emit Done(false, QString("cannot run a port mapper on %1 (%2), nor ask the system's: %3")
                                .arg(at, whyNotOwn, QString::fromStdString(error.what())));
  }
  connect(registration_.get(), &PortMapperRegistration::Done, this,
          [this, at, whyNotOwn](bool registered, const QString& why) {
            if (registered) return emit Done(true, "registered with the system's port mapper");
            emit Done(false,
                      QString("cannot run a port mapper on %1 (%2), and the system's did not "
                              "register the server: %3")
                          .arg(at, whyNotOwn, why));
          });
  registration_->Start();
}

}  // namespace zrt::serve
