// zrt-serve's command line, and the configuration files it names.
#pragma once

#include <QString>
#include <QStringList>
#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <variant>
#include <vector>

#include "cli/link_options.h"
#include "serve/line_splitter.h"

namespace zrt::cli {

// One instrument served.
struct InstrumentOptions {
  QString name = "inst0";  // its VXI-11 device name
  LinkChoice link;
  // Its own raw socket, where it has one.
  bool listening = true;
  QString listenHost = "127.0.0.1";
  std::uint16_t listenPort = 5025;
  // The raw socket speaking SCPI instead of lines: what *IDN? answers
  // (empty: the default), the sequence file *RST runs, and the waveform
  // numbers of the shapes the channels have no item for. VXI-11 speaks
  // SCPI whatever the raw socket does.
  bool scpi = false;
  QString identity;
  QString resetFile;
  std::map<std::string, int, std::less<>> waveforms;
  // What SCPI's MINimum and MAXimum are for the model at hand
  // ("max_frequency_hz" = 60e6...), where the limits are not tighter.
  std::map<std::string, double, std::less<>> ranges;
};

struct ServeOptions {
  // One, unless a configuration file's [instrument NAME] sections name
  // several: each then takes the top level's options as its defaults, and
  // has a raw socket only where its section gives a listen.
  std::vector<InstrumentOptions> instruments;
  QString listenHost = "127.0.0.1";  // where VXI-11 listens
  bool vxi11 = false;
  int maxClients = 8;
  int maxLine = static_cast<int>(serve::LineSplitter::kDefaultLongest);  // bytes
  std::chrono::seconds reopenWithin{30};  // a lost port not back by then ends the server
};

std::variant<ServeOptions, Exit> ParseServeOptions(const QStringList& arguments);

}  // namespace zrt::cli
