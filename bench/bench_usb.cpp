// Measures how long the USB close sequence takes (notifications off, the
// interrupt routine cleared, the device closed, the transfer thread joined)
// on real libusb against an emulated bridge: with the device idle, and with
// a reply fetch under way that would otherwise wait for its 3 s timeout.
// Runs under umockdev's preload library (it restarts itself with it).
//
//   bench-usb [--json] [--rounds N]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "bench_support.h"
#include "bridge_emulator.h"
#include "link/ch375_libusb.h"
#include "umockdev_preload.h"

namespace {

using Clock = std::chrono::steady_clock;
using zrt::link::LibusbCh375;

// The longest close sequence over `rounds` openings.
double LongestCloseMs(LibusbCh375::PlugSource source, bool transferring, int rounds) {
  double longest = 0;
  for (int i = 0; i < rounds; ++i) {
    LibusbCh375 library(source);
    library.CH375SetDeviceNotify(0, "", [](std::uint32_t) {});
    if (library.CH375OpenDevice(0) == zrt::link::kInvalidDeviceHandle) {
      std::fprintf(stderr, "bench-usb: the emulated bridge did not open\n");
      std::exit(1);
    }
    library.CH375SetTimeout(0, 3000, 3000);
    std::thread transfer;
    if (transferring) {
      transfer = std::thread([&library] {
        QByteArray frame = "FREQ?\n";
        auto length = static_cast<std::uint32_t>(frame.size());
        library.CH375WriteData(0, frame.constData(), &length);
        QByteArray reply;
        library.SetCH372(reply, frame);
      });
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    const auto start = Clock::now();
    library.CH375SetDeviceNotify(0, "", {});
    library.CH375SetIntRoutine(0, nullptr);
    library.CH375CloseDevice(0);
    if (transfer.joinable()) transfer.join();
    longest =
        std::max(longest, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  return longest;
}

}  // namespace

int main(int argc, char** argv) {
  zrt::tools::RestartUnderUmockdev(argv);
  bool json = false;
  int rounds = 10;
  if (!zrt::bench::ParseArguments(argc, argv, json, {{"--rounds", &rounds}},
                                  "usage: bench-usb [--json] [--rounds N]")) {
    return 2;
  }
  if (!zrt::tools::BridgeEmulator::Available()) {
    std::fprintf(stderr, "bench-usb: umockdev's preload library is not in place\n");
    return 1;
  }
  zrt::tools::BridgeEmulator bridge;
  bridge.Plug();
  using Source = LibusbCh375::PlugSource;
  const double rescanIdle = LongestCloseMs(Source::Rescan, false, rounds);
  const double rescanBusy = LongestCloseMs(Source::Rescan, true, rounds);
  const double hotplugIdle = LongestCloseMs(Source::HotplugCallbacks, false, rounds);
  const double hotplugBusy = LongestCloseMs(Source::HotplugCallbacks, true, rounds);
  if (json) {
    std::printf(
        "{\"close_ms_max_idle\": %.2f, \"close_ms_max_transfer\": %.2f, "
        "\"close_ms_max_idle_hotplug\": %.2f, \"close_ms_max_transfer_hotplug\": %.2f}\n",
        rescanIdle, rescanBusy, hotplugIdle, hotplugBusy);
  } else {
    std::printf("close sequence, longest of %d (target <= 100 ms):\n", rounds);
    std::printf("  rescans:            %.2f ms idle, %.2f ms with a reply fetch under way\n",
                rescanIdle, rescanBusy);
    std::printf("  hot-plug callbacks: %.2f ms idle, %.2f ms with a reply fetch under way\n",
                hotplugIdle, hotplugBusy);
  }
  return 0;
}
