// ser2net (the Debian package) started on loopback for a test or a
// benchmark: a network serial server with a terminal of theirs behind it.
#pragma once

#include <sys/types.h>

#include <QString>
#include <QTemporaryDir>

namespace zrt::tools {

class Ser2netServer {
 public:
  enum class Kind { Rfc2217, Raw };

  // Serves `device` (a terminal's path) on a free loopback port; IsUp()
  // says whether it listens.
  Ser2netServer(Kind kind, const QString& device);
  ~Ser2netServer();

  static bool Installed();
  bool IsUp() const { return up_; }
  // "rfc2217://127.0.0.1:PORT" or "tcp://127.0.0.1:PORT".
  QString Address() const;
  int Port() const { return port_; }
  // The server's process, while it runs.
  pid_t Pid() const { return pid_; }
  // Stops the server, as a server that goes away; Start brings it back on
  // the same port.
  void Stop();
  bool Start();

 private:
  Kind kind_;
  QString device_;
  QTemporaryDir dir_;
  pid_t pid_ = -1;
  int port_ = 0;
  bool up_ = false;
};

}  // namespace zrt::tools
