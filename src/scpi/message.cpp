#include "scpi/message.h"

#include <cctype>

#include "scpi/blanks.h"

namespace zrt::scpi {
namespace {

// A mnemonic: a letter, then letters, digits and underscores.
bool IsMnemonic(std::string_view node) {
  if (node.empty() || !std::isalpha(static_cast<unsigned char>(node.front()))) return false;
  for (char c : node) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  }
  return true;
}

// The message's units as written, cut at each ';' outside a quoted string.
std::variant<std::vector<std::string_view>, Error> Units(std::string_view message) {
  std::vector<std::string_view> units;
  std::size_t start = 0;
  char quote = 0;
  for (std::size_t i = 0; i < message.size(); ++i) {
    const char c = message[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == ';') {
      units.push_back(message.substr(start, i - start));
      start = i + 1;
    }
  }
  if (quote) return Error{-150, "String data error"};
  units.push_back(message.substr(start));
  return units;
}

}  // namespace

std::vector<std::variant<ProgramUnit, Error>> CutMessage(std::string_view message) {
  if (const auto end = message.find('\n'); end != std::string_view::npos) {
    message = message.substr(0, end);
  }
  std::vector<std::variant<ProgramUnit, Error>> cut;
  auto units = Units(message);
  if (const auto* error = std::get_if<Error>(&units)) {
    cut.emplace_back(*error);
    return cut;
  }
  // The path rule: a header without a leading colon, after another unit's
  // header, begins at the node that header's last node hangs from.
  std::vector<std::string> path;
  for (std::string_view text : std::get<std::vector<std::string_view>>(units)) {
    text = Trimmed(text);
    if (text.empty()) continue;  // an empty message, or one ended by ';'

    std::size_t headerEnd = 0;
    while (headerEnd < text.size() && !IsBlank(text[headerEnd])) ++headerEnd;
    std::string_view header = text.substr(0, headerEnd);
    ProgramUnit unit;
    unit.parameters = std::string(Trimmed(text.substr(headerEnd)));
    if (header.ends_with('?')) {
      unit.query = true;
      header.remove_suffix(1);
    }
    if (header.starts_with('*')) {
      const std::string_view name = header.substr(1);
      if (!IsMnemonic(name)) {
        cut.emplace_back(Error{-102, "Syntax error"});
        return cut;
      }
      unit.common = true;
      unit.nodes.emplace_back(header);
      cut.emplace_back(std::move(unit));
      continue;  // a common command leaves the path where it was
    }
    const bool fromRoot = header.starts_with(':');
    if (fromRoot) header.remove_prefix(1);
    std::vector<std::string> nodes = fromRoot ? std::vector<std::string>{} : path;
    while (true) {
      const std::size_t colon = header.find(':');
      const std::string_view node = header.substr(0, colon);
      if (!IsMnemonic(node)) {
        cut.emplace_back(Error{-102, "Syntax error"});
        return cut;
      }
      nodes.emplace_back(node);
      if (colon == std::string_view::npos) break;
      header.remove_prefix(colon + 1);
    }
    path.assign(nodes.begin(), nodes.end() - 1);
    unit.nodes = std::move(nodes);
    cut.emplace_back(std::move(unit));
  }
  return cut;
}

}  // namespace zrt::scpi
