// UUCP lock files, as serial programs on Linux take them: a file LCK..NAME
// in /run/lock holding its holder's process id (ten characters and a line
// feed). NAME is the device's path under /dev with each "/" as "_" (as
// ser2net writes it) or the device's base name (as most other programs
// do); a device is looked for under both, and locked under both. A lock
// whose process is gone is stale and taken over.
#pragma once

#include <sys/types.h>

#include <string>
#include <variant>
#include <vector>

namespace zrt::link {

class UucpLock {
 public:
  // A live process holds the device: its id (0 when the file names none)
  // and the lock file.
  struct Held {
    pid_t pid = 0;
    std::string file;
  };

  // Locks `device` (a path under /dev) in `folder`. Where the folder cannot
  // be written to, nothing is made: the port's own flock still keeps other
  // programs out.
  static std::variant<UucpLock, Held> Take(const std::string& device,
                                           const std::string& folder = DefaultFolder());
  // /run/lock, or /var/lock where there is no /run/lock.
  static std::string DefaultFolder();
  // The lock files' names for a device, without repeats.
  static std::vector<std::string> NamesFor(const std::string& device);

  UucpLock(UucpLock&& other) noexcept : made_(std::move(other.made_)) { other.made_.clear(); }
  UucpLock& operator=(UucpLock&&) = delete;
  // Removes the files it made.
  ~UucpLock();

  const std::vector<std::string>& Files() const { return made_; }

 private:
  UucpLock() = default;
  std::vector<std::string> made_;
};

}  // namespace zrt::link
