#include "ser2net_server.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

namespace zrt::tools {
namespace {

// A port nothing listens on now: the kernel's choice for a socket bound to 0.
int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

bool Accepts(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  const bool accepted = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return accepted;
}

}  // namespace

Ser2netServer::Ser2netServer(Kind kind, const QString& device)
    : kind_(kind), device_(device), port_(FreePort()) {
  Start();
}

Ser2netServer::~Ser2netServer() { Stop(); }

bool Ser2netServer::Installed() {
  return !QStandardPaths::findExecutable("ser2net").isEmpty() || QFile::exists("/usr/sbin/ser2net");
}

QString Ser2netServer::Address() const {
  return QString("%1://127.0.0.1:%2").arg(kind_ == Kind::Rfc2217 ? "rfc2217" : "tcp").arg(port_);
}

bool Ser2netServer::Start() {
  const QString config = dir_.filePath("ser2net.yaml");
  QFile file(config);
  if (!file.open(QIODevice::WriteOnly)) return false;
  file.write(QString("connection: &test\n"
                     "  accepter: %1tcp,127.0.0.1,%2\n"
                     "  connector: serialdev,%3,19200n81,local\n")
                 .arg(kind_ == Kind::Rfc2217 ? "telnet(rfc2217)," : "")
                 .arg(port_)
                 .arg(device_)
                 .toUtf8());
  file.close();
  const QString program = QStandardPaths::findExecutable("ser2net").isEmpty()
                              ? "/usr/sbin/ser2net"
                              : QStandardPaths::findExecutable("ser2net");
  // -n: in the foreground; -d: no daemon, messages to standard error; -P:
  // no pid file in /run.
  process_.start(program, {"-n", "-d", "-P", dir_.filePath("pid"), "-c", config});
  QElapsedTimer clock;
  clock.start();
  while (!(up_ = Accepts(port_)) && clock.elapsed() < 5000 &&
         process_.state() != QProcess::NotRunning) {
    QThread::msleep(20);
  }
  return up_;
}

void Ser2netServer::Stop() {
  if (process_.state() != QProcess::NotRunning) {
    process_.kill();
    process_.waitForFinished();
  }
  up_ = false;
}

}  // namespace zrt::tools
