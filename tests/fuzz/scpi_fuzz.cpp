// SCPI messages of any bytes: cutting, matching and reading parameters
// never crash, a unit's header is never empty, and every number read is
// finite.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "scpi/header_pattern.h"
#include "scpi/message.h"
#include "scpi/parameters.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zrt::scpi;
  const std::string_view message(reinterpret_cast<const char*>(data), size);
  for (const auto& unit : CutMessage(message)) {
    const auto* program = std::get_if<ProgramUnit>(&unit);
    if (!program) continue;
    Require(!program->nodes.empty());
    for (const auto& node : program->nodes) Require(!node.empty());
    MatchHeader("[SOURce#:]FREQuency[:CW|:FIXed]", program->nodes);
    MatchHeader("OUTPut#[:STATe]", program->nodes);
    const auto parameters = SplitParameters(program->parameters);
    if (const auto* split = std::get_if<std::vector<std::string>>(&parameters)) {
      for (const auto& parameter : *split) {
        if (const auto number = ReadNumeric(parameter)) Require(std::isfinite(number->value));
        ReadBoolean(parameter);
        ReadSpecial(parameter);
      }
    }
  }
  return 0;
}
