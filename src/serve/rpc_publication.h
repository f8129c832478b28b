// The programs a server serves, made findable through the port mapper:
// with a port mapper of its own (TCP and UDP, broadcasts answered) where
// its port is free to bind, else registered with the one the system runs,
// and taken back from it when this object goes.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "rpc/port_mapper.h"

namespace zrt::serve {

class PortMapperService;
class PortMapperRegistration;

class RpcPublication : public QObject {
  Q_OBJECT

 public:
  // `mappings` at `host` (where the server listens) and the mapper's
  // `port` (rpc::kPortMapperPort; another in tests).
  RpcPublication(std::vector<rpc::Mapping> mappings, std::string host,
                 std::uint16_t port = rpc::kPortMapperPort, QObject* parent = nullptr);
  ~RpcPublication() override;

  // Done follows, at once with a mapper of its own.
  void Start();
  bool OwnMapper() const { return static_cast<bool>(service_); }

 signals:
  // Published (`how`: in words, for the log), or why not, in words that
  // say both ways tried.
  void Done(bool published, const QString& text);

 private:
  std::vector<rpc::Mapping> mappings_;
  std::string host_;
  std::uint16_t port_;
  rpc::PortMapper mapper_;
  std::unique_ptr<PortMapperService> service_;
  std::unique_ptr<PortMapperRegistration> registration_;
};

}  // namespace zrt::serve
