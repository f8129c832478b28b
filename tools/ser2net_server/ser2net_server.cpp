#include "ser2net_server.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>
#include <string>
#include <vector>

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
  // no pid file in /run. Started with posix_spawn rather than QProcess: a
  // fork inside Qt, which the thread sanitizer does not see into, would
  // hide the synchronisation of the tests that follow from it.
  const std::string programPath = program.toStdString();
  const std::string pidFile = dir_.filePath("pid").toStdString();
  const std::string configPath = config.toStdString();
  std::vector<char*> argv = {const_cast<char*>(programPath.c_str()),
                             const_cast<char*>("-n"),
                             const_cast<char*>("-d"),
                             const_cast<char*>("-P"),
                             const_cast<char*>(pidFile.c_str()),
                             const_cast<char*>("-c"),
                             const_cast<char*>(configPath.c_str()),
                             nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);  // mdns chatter
  const int rc = posix_spawn(&pid_, programPath.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    pid_ = -1;
    return false;
  }
  QElapsedTimer clock;
  clock.start();
  while (!(up_ = Accepts(port_)) && clock.elapsed() < 5000 &&
         waitpid(pid_, nullptr, WNOHANG) == 0) {
    QThread::msleep(20);
  }
  return up_;
}

void Ser2netServer::Stop() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  up_ = false;
}

}  // namespace zrt::tools
