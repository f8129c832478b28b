// zrt-serve's command line.
#pragma once

#include <QString>
#include <QStringList>
#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <variant>

#include "cli/link_options.h"
#include "serve/line_splitter.h"

namespace zrt::cli {

struct ServeOptions {
  LinkChoice link;
  QString listenHost = "127.0.0.1";
  std::uint16_t listenPort = 5025;
  int maxClients = 8;
  int maxLine = static_cast<int>(serve::LineSplitter::kDefaultLongest);  // bytes
  std::chrono::seconds reopenWithin{30};  // a lost port not back by then ends the server
  // Serving SCPI instead of lines: what *IDN? answers (empty: the default),
  // the sequence file *RST runs, and the waveform numbers of the shapes the
  // channels have no item for ([waveforms] of a configuration file).
  bool scpi = false;
  bool vxi11 = false;  // SCPI over VXI-11 too, whatever the raw socket speaks
  QString identity;
  QString resetFile;
  std::map<std::string, int, std::less<>> waveforms;
};

std::variant<ServeOptions, Exit> ParseServeOptions(const QStringList& arguments);

}  // namespace zrt::cli
