// The simulated instrument's frame reader on an arbitrary byte stream cut
// into reads at arbitrary points: the frames are the stream's lines, the
// same however it was cut, and the instrument answers every one.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "sim/frame_reader.h"
#include "sim/instrument_model.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zrt::sim;
  // The first byte seeds the cuts; the rest is the stream.
  if (size == 0) return 0;
  unsigned cuts = data[0] | 1u;
  const std::string_view stream(reinterpret_cast<const char*>(data + 1), size - 1);
  FrameReader reader;
  InstrumentModel model;
  std::vector<std::string> frames;
  auto when = FrameReader::Clock::time_point{};
  for (std::size_t at = 0; at < stream.size();) {
    cuts = cuts * 1103515245u + 12345u;
    const std::size_t length = std::min<std::size_t>(1 + (cuts >> 16) % 16, stream.size() - at);
    when += std::chrono::milliseconds(10);
    for (FrameReader::Frame& frame : reader.Take(stream.substr(at, length), when)) {
      const std::string answer = model.Answer(frame.bytes);
      Check(!answer.empty() && answer.back() == '\n');
      frames.push_back(std::move(frame.bytes));
    }
    at += length;
  }
  std::vector<std::string> lines;
  std::string line;
  for (char c : stream) {
    if (c == '\n') {
      lines.push_back(std::exchange(line, {}));
    } else {
      line += c;
    }
  }
  Check(frames == lines);
  return 0;
}
