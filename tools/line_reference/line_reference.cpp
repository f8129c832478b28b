// zrt-line-reference: docs/line-reference.md, from the tables the panel
// and the SCPI face are built on. Run it after a table changes:
//   build/bin/zrt-line-reference > docs/line-reference.md
#include <cstdio>
#include <string>
#include <string_view>

#include "compose/availability.h"
#include "compose/key_vocabulary.h"
#include "scpi/counterparts.h"
#include "settings/units.h"
#include "window/form/caption_table.h"

namespace {

using namespace zrt;

// A key as the operator finds it: its English caption and its simplified
// Chinese one; the key text where it has no button.
std::string KeyName(const compose::KeyEntry& key) {
  if (key.button.empty()) return "(no key: `" + std::string(key.keyText) + "`)";
  const char* english = window::CaptionOf(key.button, window::Language::English);
  const char* chinese = window::CaptionOf(key.button, window::Language::SimplifiedChinese);
  std::string name = english ? english : "";
  if (chinese) name += name.empty() ? std::string(chinese) : " (" + std::string(chinese) + ")";
  return name.empty() ? std::string(key.keyText) : name;
}

std::string UnitsOf(std::uint8_t group) {
  std::string units;
  for (const settings::Unit& unit : settings::Units()) {
    if (unit.group != group) continue;
    units += (units.empty() ? "" : ", ") + std::string(unit.text);
  }
  if (group == compose::kNoUnitGroup) return "none";
  return units.empty() ? "a number" : units;
}

std::string Cell(std::string text) {
  std::string escaped;
  for (const char c : text) escaped += c == '|' ? std::string("\\|") : std::string(1, c);
  return escaped;
}

}  // namespace

int main() {
  std::printf(
      "# The instrument's lines\n"
      "\n"
      "Every line the key panels compose, by function: the function's key,\n"
      "`:`, an item's key, then a value typed with the digit keys and a unit\n"
      "key, or `?` to ask, or nothing for an item that takes no value. The\n"
      "Address key puts the instrument's address in front (`88`), which goes\n"
      "out as one byte on RS232. So `88CHA:AFREQ1000Hz` sets channel A's\n"
      "frequency, and `88CHA:AFREQ?` asks it.\n"
      "\n"
      "Each row gives the item's mnemonic, what it sets (its key's caption),\n"
      "the units its values take, the keys that compose it and what a SCPI\n"
      "client of `zrt-serve` says for it (see [Sharing the instrument](sharing.md)).\n"
      "A channel's number stands in `SOURce1:` and `OUTPut1`; channel 1 is A.\n"
      "\n"
      "This page is written by `tools/line_reference` from the key, caption\n"
      "and SCPI tables, and the docs test checks it is current: after a table\n"
      "changes, run `build/bin/zrt-line-reference > docs/line-reference.md`.\n");
  for (const compose::KeyEntry& function : compose::Vocabulary()) {
    if (compose::ClassOf(function.code) != compose::KeyClass::Function) continue;
    const auto items = compose::ItemsForFunction(function.code);
    std::printf("\n## %s: %s\n\n", std::string(function.keyText).c_str(),
                KeyName(function).c_str());
    if (items.empty()) {
      std::printf("No item keys are offered under it.\n");
      continue;
    }
    std::printf("| Item | What it sets | Units | Keys | SCPI |\n|---|---|---|---|---|\n");
    for (const int code : items) {
      const compose::KeyEntry* item = compose::FindKey(code);
      if (!item) continue;
      const bool valued = item->unitGroup != compose::kNoUnitGroup;
      const std::string keys =
          KeyName(function) + ", `:`, " + KeyName(*item) + (valued ? ", digits, a unit" : "");
      std::string scpi;
      for (const std::string& counterpart : scpi::Counterparts(function.keyText, item->keyText)) {
        scpi += (scpi.empty() ? "" : "<br>") + ("`" + counterpart + "`");
      }
      std::printf("| `%s` | %s | %s | %s | %s |\n", std::string(item->keyText).c_str(),
                  Cell(KeyName(*item)).c_str(), Cell(UnitsOf(item->unitGroup)).c_str(),
                  Cell(keys).c_str(), scpi.empty() ? "none" : Cell(scpi).c_str());
    }
  }
  // Items no function's keys offer: the vocabulary has them all the same.
  std::printf(
      "\n## Items no function offers\n\n"
      "The vocabulary holds these too; no function's item panel offers them,\n"
      "but a line may still name them (`88CHA:SINE`).\n\n"
      "| Item | What it sets | Units | SCPI |\n|---|---|---|---|\n");
  for (const compose::KeyEntry& item : compose::Vocabulary()) {
    if (compose::ClassOf(item.code) != compose::KeyClass::Item) continue;
    bool offered = false;
    for (const compose::KeyEntry& function : compose::Vocabulary()) {
      if (compose::ClassOf(function.code) != compose::KeyClass::Function) continue;
      for (const int code : compose::ItemsForFunction(function.code)) {
        offered = offered || compose::KeyText(code) == item.keyText;
      }
    }
    if (offered) continue;
    std::string scpi;
    for (const std::string_view function : {"CHA", "CHB"}) {
      for (const std::string& counterpart : scpi::Counterparts(function, item.keyText)) {
        scpi += (scpi.empty() ? "" : "<br>") + ("`" + counterpart + "`");
      }
    }
    std::printf("| `%s` | %s | %s | %s |\n", std::string(item.keyText).c_str(),
                Cell(KeyName(item)).c_str(), Cell(UnitsOf(item.unitGroup)).c_str(),
                scpi.empty() ? "none" : Cell(scpi).c_str());
  }
  std::printf(
      "\n## Numbers the instrument defines\n"
      "\n"
      "Some items take a number whose meaning only the instrument knows: a\n"
      "waveform's number (`AWAVE`, `BWAVE`, the modulating `MWAVE`, `ARB`), a\n"
      "sweep's mode (`MODEL`), a stored set (`STORE`, `RECAL`). The numbers\n"
      "come from the instrument's own manual, and may differ between models\n"
      "and firmware. To let SCPI clients choose the shapes a channel has no\n"
      "item of its own for, give their numbers in `zrt-serve`'s\n"
      "configuration:\n"
      "\n"
      "```ini\n"
      "[waveforms]\n"
      "; the numbers the instrument's manual gives its waveforms\n"
      "sine = 0\n"
      "square = 1\n"
      "triangle = 2\n"
      "```\n"
      "\n"
      "Then `SOUR2:FUNC SIN` on channel B, which has no sine item, sends\n"
      "`88CHB:BWAVE0No.`. The names are `sine`, `square`, `triangle`, `ramp`,\n"
      "`noise` and `arb`; `[waveforms NAME]` gives one instrument's own.\n");
  return 0;
}
