#include "link/port/uucp_lock.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

namespace zrt::link {
namespace {

constexpr std::string_view kDevPrefix = "/dev/";

// The process id a lock file holds, ASCII as HDB UUCP writes it; 0 for a
// file that holds none, nothing for no file.
std::optional<pid_t> HolderIn(const std::string& file) {
  std::ifstream in(file);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  const std::string content = text.str();
  const std::size_t first = content.find_first_not_of(" \t");
  if (first == std::string::npos) return pid_t{0};
  pid_t pid = 0;
  const auto [end, ec] =
      std::from_chars(content.data() + first, content.data() + content.size(), pid);
  if (ec != std::errc{} || pid <= 0) return pid_t{0};
  return pid;
}

bool Alive(pid_t pid) { return kill(pid, 0) == 0 || errno == EPERM; }

}  // namespace

std::string UucpLock::DefaultFolder() {
  std::error_code ec;
  return std::filesystem::is_directory("/run/lock", ec) ? "/run/lock" : "/var/lock";
}

std::vector<std::string> UucpLock::NamesFor(const std::string& device) {
  std::string underDev = device.starts_with(kDevPrefix) ? device.substr(kDevPrefix.size()) : device;
  std::string base = device.substr(device.rfind('/') + 1);
  for (char& c : underDev) {
    if (c == '/') c = '_';
  }
  std::vector<std::string> names{"LCK.." + underDev};
  if (base != underDev) names.push_back("LCK.." + base);
  return names;
}

std::variant<UucpLock, UucpLock::Held> UucpLock::Take(const std::string& device,
                                                      const std::string& folder) {
  UucpLock lock;
  const pid_t self = getpid();
  char content[16];
  std::snprintf(content, sizeof content, "%10d\n", static_cast<int>(self));
  for (const std::string& name : NamesFor(device)) {
    const std::string file = folder + "/" + name;
    // Made whole under a name of its own, then linked into place: another
    // program never reads half a file, and of two racing only one links.
    const std::string mine = folder + "/LCK.." + std::to_string(self) + ".tmp";
    for (int attempt = 0; attempt < 2; ++attempt) {
      if (const std::optional<pid_t> holder = HolderIn(file)) {
        if (*holder == 0) return Held{0, file};
        // This process's own lock is its other opening's, which its flock
        // answers for: left as it is.
        if (*holder == self) break;
        if (Alive(*holder)) return Held{*holder, file};
        unlink(file.c_str());  // stale: its process is gone
      }
      const int fd = open(mine.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      if (fd < 0) break;  // a folder this user may not write to
      const bool written = write(fd, content, 11) == 11;
      close(fd);
      const bool linked = written && ::link(mine.c_str(), file.c_str()) == 0;
      const int why = errno;
      unlink(mine.c_str());
      if (linked) {
        lock.made_.push_back(file);
        break;
      }
      if (why != EEXIST) break;  // another got there first: looked at again
    }
  }
  return lock;
}

UucpLock::~UucpLock() {
  for (const std::string& file : made_) {
    // Only while it is still this process's.
    if (HolderIn(file) == getpid()) unlink(file.c_str());
  }
}

}  // namespace zrt::link
