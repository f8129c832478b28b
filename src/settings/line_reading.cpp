#include "settings/line_reading.h"

#include <algorithm>

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

// Blanks, and the line ends a reply or a typed line may bring; a tab or a
// control byte is part of the line, and so unread.
std::string_view Trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\r' || c == '\n'; };
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

// A value, or how far into `text` it could be read.
using ValueOrStop = std::variant<Value, std::size_t>;

// A number with an optional sign and point, then a unit of the group.
ValueOrStop ValueOf(std::string_view text, std::uint8_t group) {
  // No exponent: an E would be read as the start of a unit.
  const auto number = ScanNumber(text, {.plus = true, .exponent = false});
  if (!number) return std::size_t{!text.empty() && (text[0] == '-' || text[0] == '+')};
  std::size_t unitFrom = number->length;
  while (unitFrom < text.size() && text[unitFrom] == ' ') ++unitFrom;
  const auto unit = FindUnit(group, text.substr(unitFrom));
  if (!unit) return unitFrom;
  return Value{std::string(text), std::string(unit->text), number->value * unit->factor};
}

// The reading of a line from `at`, where a function's mnemonic begins, or
// how far it could be read.
std::variant<LineReading, std::size_t> ReadFrom(std::string_view line, std::size_t at) {
  const std::string run = LettersFrom(line, at);
  std::size_t furthest = at;
  for (const KeyEntry& function : compose::Vocabulary()) {
    if (compose::ClassOf(function.code) != KeyClass::Function || function.keyText.empty() ||
        !run.starts_with(function.keyText)) {
      continue;
    }
    std::string name = run.substr(function.keyText.size());
    std::size_t nameAt = at + function.keyText.size();
    std::size_t next = at + run.size();
    if (name.empty()) {
      nameAt = SkipSeparators(line, next);
      name = LettersFrom(line, nameAt);
      next = nameAt + name.size();
    }
    const KeyEntry* item = name.empty() ? nullptr : ItemNamed(name, function.code);
    if (!item) {
      furthest = std::max(furthest, nameAt);
      continue;
    }
    LineReading reading{std::string(function.keyText), name, item->code, false, std::nullopt};
    const std::size_t tailAt = SkipSeparators(line, next);
    const std::string_view tail = line.substr(tailAt);
    if (tail == "?") {
      reading.query = true;
    } else if (!tail.empty()) {
      ValueOrStop value = ValueOf(tail, item->unitGroup);
      if (const auto* stop = std::get_if<std::size_t>(&value)) return tailAt + *stop;
      reading.value = std::move(std::get<Value>(value));
    }
    return reading;
  }
  return furthest;
}

}  // namespace

std::variant<LineReading, Unread> ReadWhole(std::string_view line) {
  line = Trimmed(line);
  // The address as the line gives it: written out, or as its byte.
  std::size_t at = 0;
  while (at < line.size() && IsDigit(line[at])) ++at;
  auto reading = ReadFrom(line, at);
  if (at == 0 && !line.empty() && std::holds_alternative<std::size_t>(reading)) {
    auto afterByte = ReadFrom(line, 1);
    // Past the byte only if a function was read there.
    if (std::holds_alternative<LineReading>(afterByte) ||
        std::get<std::size_t>(afterByte) >
            std::max<std::size_t>(std::get<std::size_t>(reading), 1)) {
      reading = std::move(afterByte);
    }
  }
  if (auto* whole = std::get_if<LineReading>(&reading)) return std::move(*whole);
  return Unread{std::string(line.substr(std::get<std::size_t>(reading)))};
}

std::optional<LineReading> ReadLine(std::string_view line) {
  auto reading = ReadWhole(line);
  if (auto* whole = std::get_if<LineReading>(&reading)) return std::move(*whole);
  return std::nullopt;
}

std::optional<Value> ReadValue(int itemCode, std::string_view reply) {
  ValueOrStop value = ValueOf(Trimmed(reply), GroupOf(itemCode));
  if (auto* whole = std::get_if<Value>(&value)) return std::move(*whole);
  const auto reading = ReadLine(reply);
  const KeyEntry* key = compose::FindKey(itemCode);
  if (reading && key && reading->item == key->keyText) return reading->value;
  return std::nullopt;
}

}  // namespace zrt::settings
