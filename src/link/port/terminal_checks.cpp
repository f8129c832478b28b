#include "link/port/terminal_checks.h"

#include <charconv>
#include <sstream>

namespace zrt::link {
namespace {

// The kinds of driver whose devices are serial lines.
constexpr std::string_view kSerialKinds[] = {"serial", "pty:slave"};

bool ParseNumber(std::string_view text, unsigned& value) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc{} && end == text.data() + text.size();
}

// "64" or "0-1048575".
bool InMinorRange(std::string_view range, unsigned minor) {
  unsigned first = 0;
  unsigned last = 0;
  const std::size_t dash = range.find('-');
  if (dash == std::string_view::npos) {
    if (!ParseNumber(range, first)) return false;
    last = first;
  } else if (!ParseNumber(range.substr(0, dash), first) ||
             !ParseNumber(range.substr(dash + 1), last)) {
    return false;
  }
  return first <= minor && minor <= last;
}

}  // namespace

bool IsSerialTerminal(std::string_view driverTable, unsigned major, unsigned minor) {
  // Each line: driver name, device path, major, minor range, kind.
  std::istringstream lines{std::string(driverTable)};
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string name, device, majorText, minors, kind;
    if (!(fields >> name >> device >> majorText >> minors >> kind)) continue;
    unsigned driverMajor = 0;
    if (!ParseNumber(majorText, driverMajor) || driverMajor != major) continue;
    if (!InMinorRange(minors, minor)) continue;
    for (std::string_view serial : kSerialKinds) {
      if (kind == serial) return true;
    }
  }
  return false;
}

std::string PermissionDeniedReason(std::string_view path, std::string_view group) {
  std::string reason = "Permission denied";
  if (group.empty() || group == "root") return reason;
  reason += ": ";
  reason += path;
  reason += " belongs to the group \"";
  reason += group;
  reason += "\". Add your user to it (sudo usermod -aG ";
  reason += group;
  reason += " $USER), then log in again.";
  return reason;
}

}  // namespace zrt::link
