#include "sim/pty_instrument.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <pty.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>

namespace zrt::sim {
namespace {

void WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

}  // namespace

std::string Printable(std::string_view bytes) {
  std::string text;
  for (char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u < 0x7F && u != '\\') {
      text += c;
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", u);
      text += escaped;
    }
  }
  return text;
}

PtyInstrument::PtyInstrument(Options options)
    : options_(std::move(options)), model_(options_.address) {
  for (const std::string& line : options_.keep) model_.Keep(line);
  for (const std::string& line : options_.silent) model_.Silence(line);
  for (const std::string& line : options_.refuse) model_.Refuse(line);
  for (const std::string& line : options_.mute) model_.Mute(line);
  char name[128] = {};
  if (openpty(&master_, &terminal_, name, nullptr, nullptr) != 0) {
    throw std::runtime_error("no pseudo-terminal can be had");
  }
  fcntl(master_, F_SETFD, FD_CLOEXEC);
  fcntl(terminal_, F_SETFD, FD_CLOEXEC);
  termios raw{};
  tcgetattr(terminal_, &raw);
  cfmakeraw(&raw);
  tcsetattr(terminal_, TCSANOW, &raw);
  path_ = name;
  wake_ = eventfd(0, EFD_CLOEXEC);
  thread_ = std::jthread([this](std::stop_token stop) { Run(stop); });
}

PtyInstrument::~PtyInstrument() {
  thread_.request_stop();
  const std::uint64_t one = 1;
  [[maybe_unused]] ssize_t n = write(wake_, &one, sizeof one);
  if (thread_.joinable()) thread_.join();
  close(wake_);
  close(terminal_);
  close(master_);
}

void PtyInstrument::Say(const std::string& text) const {
  if (options_.log) options_.log(text);
}

void PtyInstrument::Run(std::stop_token stop) {
  // Read as soon as bytes come where the system allows, so that fewer
  // readings are late; it only ever waits in poll.
  const sched_param realTime{1};
  pthread_setschedparam(pthread_self(), SCHED_FIFO, &realTime);
  FrameReader reader;
  while (!stop.stop_requested()) {
    pollfd fds[2] = {{master_, POLLIN, 0}, {wake_, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0 || fds[1].revents) continue;
    char buffer[256];
    const auto started = FrameReader::Clock::now();
    const ssize_t n = read(master_, buffer, sizeof buffer);
    if (n <= 0) continue;
    for (const FrameReader::Frame& frame :
         reader.Take({buffer, static_cast<std::size_t>(n)}, started, FrameReader::Clock::now())) {
      const std::string answer = model_.Answer(frame.bytes);
      Say("<- " + Printable(frame.bytes));
      if (options_.minimumGap.count() > 0 && !frame.bytes.empty()) {
        if (frame.closest < options_.minimumGap) {
          char gap[32];
          std::snprintf(gap, sizeof gap, "%.1f",
                        static_cast<double>(frame.closest.count()) / 1000.0);
          Say("pacing: bytes came " + std::string(gap) + " ms apart in \"" +
              Printable(frame.bytes) + "\"");
        } else if (frame.readTogether) {
          // Read late, not sent close: nothing to say of the sender.
          Say("pacing not measurable in \"" + Printable(frame.bytes) +
              "\": bytes were read together after a late reading");
        }
      }
      if (answer.empty()) continue;  // a silent item
      WriteAll(master_, answer);
      Say("-> " + Printable(answer));
    }
  }
}

}  // namespace zrt::sim
