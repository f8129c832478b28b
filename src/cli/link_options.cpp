#include "cli/link_options.h"

#include "cli/limits_file.h"

namespace zrt::cli {

namespace {

// When arguments[i] is one of the link's options, takes it (and its value,
// moving i past it) into `choice` and says true; `problem` is set when its
// value is missing, or when the limits file is refused.
bool TakeLinkOption(const QStringList& arguments, int& i, LinkChoice& choice,
                    std::optional<QString>& problem) {
  const QString& arg = arguments[i];
  if (arg == "--usb") {
    choice.usb = true;
    return true;
  }
  if (arg == "--simulate") {
    choice.simulate = true;
    return true;
  }
  const std::pair<const char*, QString LinkChoice::*> valued[] = {
      {"--port", &LinkChoice::port},
      {"--baud", &LinkChoice::baud},
      {"--address", &LinkChoice::address},
  };
  const char* const needs[] = {"--port needs a path", "--baud needs a rate",
                               "--address needs a number"};
  if (arg == "--limits") {
    // An empty name is no wish for no limits: most likely a variable unset.
    if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty()) {
      problem = "--limits needs a file";
      return true;
    }
    auto limits = LoadLimits(arguments[++i]);
    if (auto* why = std::get_if<QString>(&limits)) {
      problem = *why;
    } else {
      choice.limits = std::get<guard::Limits>(limits);
    }
    return true;
  }
  for (std::size_t n = 0; n < std::size(valued); ++n) {
    if (arg != valued[n].first) continue;
    if (i + 1 >= arguments.size()) {
      problem = needs[n];
    } else {
      choice.*valued[n].second = arguments[++i];
    }
    return true;
  }
  return false;
}

}  // namespace

OptionReader::OptionReader(const QStringList& arguments, QString program, QString help,
                           QString version)
    : arguments_(arguments),
      program_(std::move(program)),
      help_(std::move(help)),
      version_(std::move(version)) {}

bool OptionReader::Next() { return ++i_ < arguments_.size(); }

std::optional<QString> OptionReader::Value() {
  if (i_ + 1 >= arguments_.size()) return std::nullopt;
  return arguments_[++i_];
}

bool OptionReader::TakeShared(LinkChoice& link, std::optional<Exit>& exit) {
  const QString& arg = Argument();
  if (arg == "--help" || arg == "-h") {
    exit = Exit{0, help_};
  } else if (arg == "--version") {
    exit = Exit{0, program_ + " " + version_ + "\n"};
  } else {
    std::optional<QString> problem;
    if (!TakeLinkOption(arguments_, i_, link, problem)) return false;
    if (problem) exit = Usage(*problem);
  }
  return true;
}

Exit OptionReader::Usage(const QString& problem) const {
  return {2, program_ + ": " + problem + "\nTry '" + program_ + " --help'.\n"};
}

std::optional<QString> LinkProblem(const LinkChoice& choice) {
  const int links = (choice.port.isEmpty() ? 0 : 1) + (choice.usb ? 1 : 0);
  if (links > 1) return "choose --port or --usb, not both";
  if (links == 0 && !choice.simulate) return "name a --port, --usb or --simulate";
  return std::nullopt;
}

}  // namespace zrt::cli
