#include "link/port/uucp_lock.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <ctime>
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

// When the process started, in seconds since the epoch, where /proc tells.
std::optional<double> StartedAt(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::ifstream uptime("/proc/uptime");
  std::string text;
  double up = 0;
  if (!std::getline(stat, text) || !(uptime >> up)) return std::nullopt;
  // The start, in clock ticks since boot, is the 22nd field; the 2nd, the
  // command, may hold blanks, so fields are counted after its ')'.
  std::istringstream fields(text.substr(text.rfind(')') + 1));
  std::string field;
  for (int at = 3; at < 22 && fields >> field;) ++at;
  unsigned long long ticks = 0;
  if (!(fields >> ticks)) return std::nullopt;
  const double now = static_cast<double>(std::time(nullptr));
  return now - up + static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Whether the process has the device open, where its descriptors can be
// seen; nothing where they cannot (another user's process).
std::optional<bool> HasOpen(pid_t pid, const std::string& device) {
  std::error_code ec;
  const auto real = std::filesystem::canonical(device, ec);
  std::filesystem::directory_iterator fds("/proc/" + std::to_string(pid) + "/fd", ec);
  if (ec) return std::nullopt;
  for (const auto& fd : fds) {
    const auto target = std::filesystem::read_symlink(fd.path(), ec);
    if (!ec && (target == device || (!real.empty() && target == real))) return true;
  }
  return false;
}

// A living holder that is no program holding the port: its process id
// was given again to a process that started after the lock was made, or
// it has not had the device open for a while after making it.
bool StaleHolder(pid_t pid, const std::string& file, const std::string& device) {
  struct stat made = {};
  if (stat(file.c_str(), &made) != 0) return false;
  const double madeAt = static_cast<double>(made.st_mtime);
  if (const auto started = StartedAt(pid); started && *started > madeAt + 2) return true;
  // A holder may make the lock a moment before it opens the device.
  constexpr double kOpeningGrace = 10;
  return static_cast<double>(std::time(nullptr)) - madeAt > kOpeningGrace &&
         HasOpen(pid, device) == false;
}

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
    for (int attempt = 0; attempt < 2; ++attempt) {
      if (const std::optional<pid_t> holder = HolderIn(file)) {
        if (*holder == 0) return Held{0, file};
        // This process's own lock is its other opening's, which its flock
        // answers for: left as it is.
        if (*holder == self) break;
        if (Alive(*holder) && !StaleHolder(*holder, file, device)) return Held{*holder, file};
        unlink(file.c_str());  // stale: its process is gone
      }
      // A name nobody else has, made here: never a name planted beforehand.
      std::string mine = folder + "/LCK.tmpXXXXXX";
      const int fd = mkostemp(mine.data(), O_CLOEXEC);
      if (fd < 0) break;  // a folder this user may not write to
      const bool written = fchmod(fd, 0644) == 0 && write(fd, content, 11) == 11;
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
