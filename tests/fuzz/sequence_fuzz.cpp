// Any bytes as a sequence file: refused with a place inside the file, or
// expanded into at most the steps allowed, each from a line of the file.
#include <QByteArray>
#include <cstdint>
#include <cstdlib>

#include "sequence/sequence.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zrt::sequence;
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const int lines = static_cast<int>(bytes.count('\n')) + 1;
  const Parsed parsed = ParseBytes(bytes, "fuzz.zrt");
  if (const auto* error = std::get_if<ParseError>(&parsed)) {
    Check(error->line >= 1 && error->line <= lines + 1 && error->column >= 1);
    Check(!Describe(*error).isEmpty());
    return 0;
  }
  const auto& steps = std::get<std::vector<Step>>(parsed);
  Check(static_cast<int>(steps.size()) <= kMaxSteps);
  for (const Step& step : steps) {
    Check(step.line >= 1 && step.line <= lines);
    Check(step.kind != Step::Kind::Send || !step.text.isEmpty());
    Check(step.text.size() <= kLongestLine);
  }
  return 0;
}
