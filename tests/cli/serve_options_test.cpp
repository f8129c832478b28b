// zrt-serve's configuration files: several instruments in sections, each
// on the top level's defaults, and what a file may not say.
#include "cli/serve_options.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace zrt::cli {
namespace {

std::variant<ServeOptions, Exit> FromFile(const QByteArray& text, QStringList after = {}) {
  static QTemporaryDir folder;
  const QString path = folder.filePath("serve.conf");
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(text);
  file.close();
  return ParseServeOptions(QStringList{"zrt-serve", "--config", path} + after);
}

TEST(ServeOptions, SectionsAreInstrumentsOnTheTopLevelsDefaults) {
  const auto parsed = FromFile(
      "vxi11 = true\nlisten = 0.0.0.0:5025\nbaud = 9600\nport = /dev/ttyUSB0\nscpi = true\n"
      "[waveforms]\nsine = 0\nsquare = 1\n"
      "[instrument bench-a]\nidn = A,B,C,D\nlisten = 127.0.0.1:5026\n"
      "[instrument]\nmax_frequency_hz = 60e6\n"
      "[instrument bench-b]\nsimulate = true\naddress = 12\nmax_frequency_hz = 30e6\n"
      "[waveforms bench-b]\nsquare = 7\n");
  ASSERT_TRUE(std::holds_alternative<ServeOptions>(parsed))
      << std::get<Exit>(parsed).text.toStdString();
  const ServeOptions& options = std::get<ServeOptions>(parsed);
  EXPECT_TRUE(options.vxi11);
  EXPECT_EQ(options.listenHost, "0.0.0.0");
  ASSERT_EQ(options.instruments.size(), 2u);
  const InstrumentOptions& a = options.instruments[0];
  const InstrumentOptions& b = options.instruments[1];
  EXPECT_EQ(a.name, "bench-a");
  EXPECT_EQ(a.link.port, "/dev/ttyUSB0");  // the top level's link
  EXPECT_EQ(a.link.baud, "9600");
  EXPECT_TRUE(a.listening);
  EXPECT_EQ(a.listenPort, 5026);
  EXPECT_EQ(a.identity, "A,B,C,D");
  EXPECT_TRUE(a.scpi);
  EXPECT_EQ(a.waveforms.at("square"), 1);
  EXPECT_EQ(a.ranges.at("max_frequency_hz"), 60e6);
  // A link of its own replaces the top level's; its rate stays the default.
  EXPECT_TRUE(b.link.simulate);
  EXPECT_TRUE(b.link.port.isEmpty());
  EXPECT_EQ(b.link.baud, "9600");
  EXPECT_EQ(b.link.address, "12");
  EXPECT_FALSE(b.listening);  // no listen of its own: no raw socket
  EXPECT_EQ(b.waveforms.at("square"), 7);
  EXPECT_EQ(b.waveforms.at("sine"), 0);
  EXPECT_EQ(b.ranges.at("max_frequency_hz"), 30e6);
}

TEST(ServeOptions, WithoutSectionsOneInstrumentCalledInst0) {
  const auto parsed = FromFile("simulate = true\nvxi11 = true\n", {"--listen", "5030"});
  ASSERT_TRUE(std::holds_alternative<ServeOptions>(parsed));
  const ServeOptions& options = std::get<ServeOptions>(parsed);
  ASSERT_EQ(options.instruments.size(), 1u);
  EXPECT_EQ(options.instruments[0].name, "inst0");
  EXPECT_TRUE(options.instruments[0].listening);
  EXPECT_EQ(options.instruments[0].listenPort, 5030);
}

TEST(ServeOptions, WhatAFileMayNotSay) {
  const struct {
    const char* text;
    const char* says;
  } cases[] = {
      {"[instrument a]\nsimulate = true\n[instrument A]\nsimulate = true\n", "two instruments"},
      {"[instrument a]\nsimulate = true\nvxi11 = true\n", "vxi11 is for the whole server"},
      {"[instrument a]\nsimulate = true\nmax-line = 100\n", "max-line is for the whole server"},
      {"[instrument a]\nbaud = 9600\n", "[instrument a]: name a --port, --usb or --simulate"},
      {"[instrument a]\nport = /dev/x\nusb = true\n", "choose --port or --usb"},
      {"[instruments a]\n", "the sections are"},
      {"[instrument a b]\n", "the sections are"},
      {"max_frequency_hz = fast\nsimulate = true\n", "max_frequency_hz is a number"},
      {"max_speed_hz = 1\nsimulate = true\n", "unknown argument --max_speed_hz"},
      {"[instrument a]\nsimulate = maybe\n", "simulate is true or false"},
      {"[waveforms a]\nsine = -1\n", "a waveform's number"},
  };
  for (const auto& c : cases) {
    const auto parsed = FromFile(c.text);
    ASSERT_TRUE(std::holds_alternative<Exit>(parsed)) << c.text;
    const Exit& exit = std::get<Exit>(parsed);
    EXPECT_EQ(exit.status, kUsage) << c.text;
    EXPECT_TRUE(exit.text.contains(c.says)) << c.text << " said " << exit.text.toStdString();
  }
}

}  // namespace
}  // namespace zrt::cli
