#include "serve/port_mapper_registration.h"

#include <algorithm>
#include <array>

namespace zrt::serve {

namespace {

void SendCall(const net::DatagramSocket& socket, const net::Endpoint& to, const rpc::Bytes& call) {
  socket.SendTo(reinterpret_cast<const char*>(call.data()), call.size(), to);
}

}  // namespace

PortMapperRegistration::PortMapperRegistration(std::vector<rpc::Mapping> mappings,
                                               net::Endpoint mapper, QObject* parent)
    : QObject(parent), mapper_(mapper), socket_(net::DatagramSocket::Bind("", 0)) {
  std::uint32_t xid = 0x5a520000;  // a base of our own; each mapping's call one more
  for (const rpc::Mapping& mapping : mappings) pending_.push_back({mapping, ++xid, std::nullopt});
  receiving_ = new QSocketNotifier(socket_.Native(), QSocketNotifier::Read, this);
  connect(receiving_, &QSocketNotifier::activated, this, &PortMapperRegistration::Answered);
  asking_.setInterval(kAskEvery);
  connect(&asking_, &QTimer::timeout, this, &PortMapperRegistration::Ask);
  givingUp_.setSingleShot(true);
  givingUp_.setInterval(kGiveUpAfter);
  connect(&givingUp_, &QTimer::timeout, this, [this] {
    Finish(false, QString("no port mapper answered at %1 within %2 s")
                      .arg(QString::fromStdString(mapper_.Name()))
                      .arg(kGiveUpAfter.count() / 1000.0));
  });
}

PortMapperRegistration::~PortMapperRegistration() {
  for (const Pending& pending : pending_) {
    if (pending.taken == true) {
      SendCall(socket_, mapper_,
               rpc::MapperCall(pending.xid, rpc::MapperProcedure::Unset, pending.mapping));
    }
  }
}

void PortMapperRegistration::Start() {
  Ask();
  asking_.start();
  givingUp_.start();
}

void PortMapperRegistration::Ask() {
  for (const Pending& pending : pending_) {
    if (!pending.taken) {
      SendCall(socket_, mapper_,
               rpc::MapperCall(pending.xid, rpc::MapperProcedure::Set, pending.mapping));
    }
  }
}

void PortMapperRegistration::Answered() {
  std::array<std::uint8_t, 512> bytes;
  for (;;) {
    net::Endpoint from;
    const std::ptrdiff_t got =
        socket_.ReceiveFrom(reinterpret_cast<char*>(bytes.data()), bytes.size(), from);
    if (got < 0) break;
    const auto reply = std::span(bytes).first(static_cast<std::size_t>(got));
    for (Pending& pending : pending_) {
      if (const auto result = rpc::MapperResult(reply, pending.xid)) pending.taken = *result != 0;
    }
  }
  const auto refused =
      std::ranges::find_if(pending_, [](const Pending& p) { return p.taken == false; });
  if (refused != pending_.end()) {
    return Finish(false, QString("the port mapper refused program %1 version %2: another server "
                                 "may have it")
                             .arg(refused->mapping.program)
                             .arg(refused->mapping.version));
  }
  if (std::ranges::all_of(pending_, [](const Pending& p) { return p.taken == true; })) {
    Finish(true, {});
  }
}

void PortMapperRegistration::Finish(bool registered, const QString& why) {
  if (std::exchange(done_, true)) return;
  asking_.stop();
  givingUp_.stop();
  emit Done(registered, why);
}

}  // namespace zrt::serve
