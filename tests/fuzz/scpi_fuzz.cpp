// SCPI messages of any bytes: cutting, matching and reading parameters
// never crash, a unit's header is never empty, every number read is
// finite, and a client's work is lines of the instrument's own characters.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "scpi/client.h"
#include "scpi/message.h"
#include "scpi/parameters.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zrt::scpi;
  namespace settings = zrt::settings;
  const std::string_view message(reinterpret_cast<const char*>(data), size);
  for (const auto& unit : CutMessage(message)) {
    const auto* program = std::get_if<ProgramUnit>(&unit);
    if (!program) continue;
    Require(!program->nodes.empty());  // the command table reads the first
    for (const auto& node : program->nodes) Require(!node.empty());
    const auto parameters = SplitParameters(program->parameters);
    if (const auto* split = std::get_if<std::vector<std::string>>(&parameters)) {
      for (const auto& parameter : *split) {
        if (const auto number = ReadNumeric(parameter)) Require(std::isfinite(number->value));
      }
    }
  }
  // The client reads each unit's header and parameters on its own.
  const Face face{.identity = "x", .waveforms = {{"sine", 0}}};
  Client client(face);
  zrt::guard::Limits limits;
  limits.a.maxFrequencyHz = 1e6;
  const settings::InstrumentSettings known;
  for (const Work& work : client.Take(message, "88", limits)) {
    for (char c : work.line) Require(c >= ' ' && c <= '~');
    if (work.kind == Work::Kind::Ask) client.Asked(work, work.unit);
    if (work.kind == Work::Kind::Send) client.Sent(work.unit);
    if (work.kind == Work::Kind::Local || work.kind == Work::Kind::Refuse) {
      client.Local(work, known, limits);
    }
  }
  Require(client.Errors().Count() <= ErrorQueue::kDepth);
  return 0;
}
