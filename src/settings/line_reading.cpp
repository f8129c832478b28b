#include "settings/line_reading.h"

#include <charconv>

#include "compose/availability.h"
#include "compose/key_vocabulary.h"
#include "settings/units.h"

namespace zrt::settings {
namespace {

using compose::KeyClass;
using compose::KeyEntry;

// ASCII only: a Latin-1 byte is no letter of a mnemonic.
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsSeparator(char c) { return c == ':' || c == ' '; }
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::string_view Trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\r' || c == '\n' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

std::size_t SkipSeparators(std::string_view text, std::size_t at) {
  while (at < text.size() && IsSeparator(text[at])) ++at;
  return at;
}

// The letters from `at` on, in upper case.
std::string LettersFrom(std::string_view text, std::size_t at) {
  std::string letters;
  while (at + letters.size() < text.size() && IsLetter(text[at + letters.size()])) {
    letters += Upper(text[at + letters.size()]);
  }
  return letters;
}

// The item key named `name`: of keys that share a mnemonic, the one the
// function offers.
const KeyEntry* ItemNamed(std::string_view name, int functionCode) {
  const KeyEntry* first = nullptr;
  for (const KeyEntry& key : compose::Vocabulary()) {
    if (compose::ClassOf(key.code) != KeyClass::Item || key.keyText != name) continue;
    for (int offered : compose::ItemsForFunction(functionCode)) {
      if (offered == key.code) return &key;
    }
    if (!first) first = &key;
  }
  return first;
}

std::uint8_t GroupOf(int itemCode) {
  const KeyEntry* key = compose::FindKey(itemCode);
  return key ? key->unitGroup : compose::kNoUnitGroup;
}

// A number with an optional sign and point, then a unit of the group.
std::optional<Value> ValueOf(std::string_view text, std::uint8_t group) {
  text = Trimmed(text);
  std::size_t at = 0;
  const bool negative = at < text.size() && text[at] == '-';
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
  const std::size_t digitsFrom = at;
  bool digits = false;
  bool point = false;
  for (; at < text.size(); ++at) {
    if (IsDigit(text[at])) {
      digits = true;
    } else if (text[at] == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (!digits) return std::nullopt;
  double magnitude = 0;
  const std::string_view written = text.substr(digitsFrom, at - digitsFrom);
  const auto [end, error] =
      std::from_chars(written.data(), written.data() + written.size(), magnitude);
  // "5." is a number as the keys write it, though from_chars stops short.
  if (error != std::errc() || (end != written.data() + written.size() && *end != '.')) {
    return std::nullopt;
  }
  const auto unit = FindUnit(group, Trimmed(text.substr(at)));
  if (!unit) return std::nullopt;
  return Value{std::string(text), std::string(unit->text),
               (negative ? -magnitude : magnitude) * unit->factor};
}

// The reading of a line from `at`, where a function's mnemonic begins.
std::optional<LineReading> ReadFrom(std::string_view line, std::size_t at) {
  const std::string run = LettersFrom(line, at);
  for (const KeyEntry& function : compose::Vocabulary()) {
    if (compose::ClassOf(function.code) != KeyClass::Function || function.keyText.empty() ||
        !run.starts_with(function.keyText)) {
      continue;
    }
    std::string name = run.substr(function.keyText.size());
    std::size_t next = at + run.size();
    if (name.empty()) {
      next = SkipSeparators(line, next);
      name = LettersFrom(line, next);
      next += name.size();
    }
    const KeyEntry* item = name.empty() ? nullptr : ItemNamed(name, function.code);
    if (!item) continue;
    LineReading reading{std::string(function.keyText), name, item->code, false, std::nullopt};
    const std::string_view tail = Trimmed(line.substr(SkipSeparators(line, next)));
    if (tail == "?") {
      reading.query = true;
    } else if (!tail.empty()) {
      reading.value = ValueOf(tail, item->unitGroup);
      if (!reading.value) return std::nullopt;
    }
    return reading;
  }
  return std::nullopt;
}

}  // namespace

std::optional<LineReading> ReadLine(std::string_view line) {
  line = Trimmed(line);
  // The address as the line gives it: written out, or as its byte.
  std::size_t at = 0;
  while (at < line.size() && IsDigit(line[at])) ++at;
  if (auto reading = ReadFrom(line, at)) return reading;
  if (at == 0 && !line.empty()) return ReadFrom(line, 1);
  return std::nullopt;
}

std::optional<Value> ReadValue(int itemCode, std::string_view reply) {
  if (auto value = ValueOf(reply, GroupOf(itemCode))) return value;
  const auto reading = ReadLine(reply);
  const KeyEntry* key = compose::FindKey(itemCode);
  if (reading && key && reading->item == key->keyText) return reading->value;
  return std::nullopt;
}

}  // namespace zrt::settings
