// What the settings model reads from outside: command lines and replies of
// any bytes, and a limits file of any text. A line is read or left out,
// never a crash; a value read is a finite number; limits read are written
// back and read the same.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "guard/guard.h"
#include "settings/preset.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zrt::settings;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  // Lines and replies by turns, as a session takes them.
  InstrumentSettings known;
  zrt::guard::Limits limits;
  limits.a = {1e6, 5, -2, 2};
  limits.b = {1e3, 1, std::nullopt, 0.5};
  zrt::guard::Guard guard;
  guard.SetLimits(limits);
  std::string_view rest = input;
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    const std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
    if (const auto reading = ReadLine(line); reading && reading->value) {
      Require(std::isfinite(reading->value->number));
    }
    if (const auto verdict = guard.Judge(line); verdict.breach) {
      Require(!zrt::guard::Describe(*verdict.breach, 2).empty());
    }
    guard.Sent(line);
    guard.Answered(line, rest.substr(0, rest.find('\n')));
    known.RecordReply(line, rest.substr(0, rest.find('\n')));
  }
  for (const Setting& setting : known.All()) {
    Require(!setting.function.empty() && !setting.item.empty());
  }
  (void)PresetText(known, "88", "fuzz");
  // The same bytes as a limits file.
  const auto read = zrt::guard::ReadLimits(input);
  if (const auto* kept = std::get_if<zrt::guard::Limits>(&read)) {
    const auto again = zrt::guard::ReadLimits(zrt::guard::WriteLimits(*kept));
    Require(std::holds_alternative<zrt::guard::Limits>(again) &&
            std::get<zrt::guard::Limits>(again) == *kept);
  }
  return 0;
}
