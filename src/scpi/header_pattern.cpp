#include "scpi/header_pattern.h"

#include <cctype>

namespace zrt::scpi {
namespace {

struct Mnemonic {
  std::string_view name;  // "FREQuency"
  bool numbered = false;  // written "SOURce#"
};

// A node of a pattern: one or more mnemonics, perhaps optional.
struct PatternNode {
  std::vector<Mnemonic> alternatives;
  bool optional = false;
};

std::vector<PatternNode> NodesOf(std::string_view pattern) {
  std::vector<PatternNode> nodes;
  while (!pattern.empty()) {
    PatternNode node;
    if (pattern.front() == '[') {
      node.optional = true;
      const auto close = pattern.find(']');
      std::string_view inside = pattern.substr(1, close - 1);
      pattern.remove_prefix(close + 1);
      // "[SOURce#:]" hangs before what follows, "[:CW|:FIXed]" after.
      while (!inside.empty()) {
        while (!inside.empty() && (inside.front() == ':' || inside.front() == '|')) {
          inside.remove_prefix(1);
        }
        const auto end = inside.find_first_of(":|");
        std::string_view name = inside.substr(0, end);
        inside.remove_prefix(end == std::string_view::npos ? inside.size() : end);
        const bool numbered = name.ends_with('#');
        if (numbered) name.remove_suffix(1);
        if (!name.empty()) node.alternatives.push_back({name, numbered});
      }
    } else {
      if (pattern.front() == ':') pattern.remove_prefix(1);
      const auto end = pattern.find_first_of(":[");
      std::string_view name = pattern.substr(0, end);
      pattern.remove_prefix(end == std::string_view::npos ? pattern.size() : end);
      const bool numbered = name.ends_with('#');
      if (numbered) name.remove_suffix(1);
      node.alternatives.push_back({name, numbered});
    }
    nodes.push_back(std::move(node));
  }
  return nodes;
}

bool SameLetters(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// Whether `written` is the mnemonic, long or short, with a channel number
// where it takes one.
bool MatchesMnemonic(const Mnemonic& mnemonic, std::string_view written, int& channel) {
  std::size_t digits = written.size();
  while (digits > 0 && std::isdigit(static_cast<unsigned char>(written[digits - 1]))) --digits;
  const std::string_view suffix = written.substr(digits);
  if (!suffix.empty()) {
    if (!mnemonic.numbered || suffix.size() > 3) return false;
    written = written.substr(0, digits);
  }
  std::string shortForm;
  for (char c : mnemonic.name) {
    if (std::isupper(static_cast<unsigned char>(c)) ||
        std::isdigit(static_cast<unsigned char>(c))) {
      shortForm += c;
    }
  }
  if (!SameLetters(written, mnemonic.name) && !SameLetters(written, shortForm)) return false;
  if (mnemonic.numbered) channel = suffix.empty() ? 1 : std::stoi(std::string(suffix));
  return true;
}

bool Match(const std::vector<PatternNode>& pattern, std::size_t p,
           const std::vector<std::string>& nodes, std::size_t n, HeaderMatch& match) {
  if (p == pattern.size()) return n == nodes.size();
  const PatternNode& node = pattern[p];
  if (n < nodes.size()) {
    for (const Mnemonic& mnemonic : node.alternatives) {
      HeaderMatch tried = match;
      if (MatchesMnemonic(mnemonic, nodes[n], tried.channel) &&
          Match(pattern, p + 1, nodes, n + 1, tried)) {
        match = tried;
        return true;
      }
    }
  }
  return node.optional && Match(pattern, p + 1, nodes, n, match);
}

}  // namespace

std::optional<HeaderMatch> MatchHeader(std::string_view pattern,
                                       const std::vector<std::string>& nodes) {
  HeaderMatch match;
  if (!Match(NodesOf(pattern), 0, nodes, 0, match)) return std::nullopt;
  return match;
}

}  // namespace zrt::scpi
