#include "cli/serve_options.h"

#include <QFile>
#include <algorithm>
#include <set>

#include "cli/help_texts.h"
#include "scpi/client.h"
#include "serve/listen_address.h"
#include "settings/ini_text.h"

namespace zrt::cli {

namespace {

constexpr const char* kProgram = "zrt-serve";

// An [instrument NAME] section of a configuration file, as arguments, and
// its [waveforms NAME] section.
struct Section {
  QString name;
  QStringList arguments;
  std::map<std::string, int, std::less<>> waveforms;
  std::map<std::string, double, std::less<>> ranges;
};

// A range table's key: min_ or max_ and one of scpi::kRangeNames.
bool IsRangeKey(std::string_view key) {
  if (!key.starts_with("min_") && !key.starts_with("max_")) return false;
  return std::ranges::find(scpi::kRangeNames, key.substr(4)) != std::end(scpi::kRangeNames);
}

// A configuration file's top level as arguments, its [waveforms] and range
// table into `top` and its instruments into `sections`; or why it cannot
// be read. A key is an option's name without its dashes; a switch's value
// is true or false. [instrument] alone is the top level's instrument.
std::variant<QStringList, QString> ConfigArguments(const QString& file, InstrumentOptions& top,
                                                   std::vector<Section>& sections) {
  QFile in(file);
  if (!in.open(QIODevice::ReadOnly)) return file + ": " + in.errorString();
  constexpr qint64 kLargest = 64 * 1024;
  const QByteArray text = in.read(kLargest + 1);
  if (text.size() > kLargest) return file + ": larger than a configuration file can be";
  const auto read = settings::ReadIni(text.toStdString());
  if (const auto* why = std::get_if<std::string>(&read)) {
    return file + ": " + QString::fromStdString(*why);
  }
  auto sectionNamed = [&](const QString& name) -> Section& {
    for (Section& section : sections) {
      if (section.name == name) return section;
    }
    return sections.emplace_back(Section{name, {}, {}, {}});
  };
  QStringList arguments;
  for (const settings::IniEntry& entry : std::get<std::vector<settings::IniEntry>>(read)) {
    const QString where = QString("%1: line %2: ").arg(file).arg(entry.line);
    const QString section = QString::fromStdString(entry.section).simplified();
    const QString key = QString::fromStdString(entry.key);
    const QString value = QString::fromStdString(entry.value);
    const QStringList words = section.split(' ', Qt::SkipEmptyParts);
    const bool waveformSection = !words.isEmpty() && words[0] == "waveforms" && words.size() <= 2;
    const bool instrumentSection =
        !words.isEmpty() && words[0] == "instrument" && words.size() <= 2;
    if (!section.isEmpty() && !waveformSection && !instrumentSection) {
      return where +
             "the sections are [instrument], [waveforms], [instrument NAME] and [waveforms NAME]";
    }
    const bool named = words.size() == 2;
    if (named) sectionNamed(words[1]);  // named even when empty
    if (entry.key.empty()) continue;    // the section's own line
    if (waveformSection) {
      bool ok = false;
      const int number = value.toInt(&ok);
      if (!ok || number < 0) return where + "a waveform's number is a whole number from 0";
      auto& numbers = named ? sectionNamed(words[1]).waveforms : top.waveforms;
      numbers[key.toLower().toStdString()] = number;
      continue;
    }
    if (key == "config") return where + "a configuration file names no other";
    if (IsRangeKey(entry.key)) {
      bool ok = false;
      const double value = QString::fromStdString(entry.value).toDouble(&ok);
      if (!ok) return where + key + " is a number, in the unit its name ends with";
      (named ? sectionNamed(words[1]).ranges : top.ranges)[entry.key] = value;
      continue;
    }
    QStringList& into = named ? sectionNamed(words[1]).arguments : arguments;
    if (key == "usb" || key == "simulate" || key == "scpi" || key == "vxi11") {
      if (value == "true") {
        into << "--" + key;
      } else if (value != "false") {
        return where + key + " is true or false";
      }
      continue;
    }
    into << "--" + key << value;
  }
  return arguments;
}

// Options of the whole server, which no one instrument's section gives.
bool ServerWide(const QString& option) {
  return option == "--vxi11" || option == "--max-clients" || option == "--max-line" ||
         option == "--reopen-within";
}

// Reads `arguments` into `server` and `instrument`; `section` names the
// instrument whose section they are (server-wide options refused there).
// The link must be named (`linkNamed`) unless sections name it.
std::optional<Exit> Read(const QStringList& arguments, ServeOptions& server,
                         InstrumentOptions& instrument, const QString& section, bool linkNamed) {
  OptionReader reader(arguments, kProgram, ServeHelp(), ZRT_VERSION);
  const QString in = section.isEmpty() ? QString() : "[instrument " + section + "]: ";
  while (reader.Next()) {
    const QString& arg = reader.Argument();
    std::optional<Exit> exit;
    bool ok = false;
    if (!section.isEmpty() && ServerWide(arg)) {
      return reader.Usage(in + arg.mid(2) + " is for the whole server, not one instrument");
    }
    if (reader.TakeShared(instrument.link, exit)) {
      if (exit) return exit;
    } else if (arg == "--listen") {
      const auto text = reader.Value();
      if (!text ||
          !serve::ParseListenAddress(*text, instrument.listenHost, instrument.listenPort)) {
        return reader.Usage(in + "--listen needs [HOST:]PORT, such as 127.0.0.1:5025");
      }
      instrument.listening = true;
    } else if (arg == "--max-clients") {
      server.maxClients = reader.Value().value_or("").toInt(&ok);
      if (!ok || server.maxClients < 1) return reader.Usage("--max-clients needs a number from 1");
    } else if (arg == "--reopen-within") {
      const int seconds = reader.Value().value_or("").toInt(&ok);
      if (!ok || seconds < 1)
        return reader.Usage("--reopen-within needs a number of seconds from 1");
      server.reopenWithin = std::chrono::seconds(seconds);
    } else if (arg == "--scpi") {
      instrument.scpi = true;
    } else if (arg == "--vxi11") {
      server.vxi11 = true;
    } else if (arg == "--idn") {
      instrument.identity = reader.Value().value_or("");
      if (instrument.identity.count(',') != 3) {
        return reader.Usage(in + "--idn needs four fields: MAKER,MODEL,SERIAL,FIRMWARE");
      }
    } else if (arg == "--reset") {
      instrument.resetFile = reader.Value().value_or("");
      if (instrument.resetFile.isEmpty()) return reader.Usage(in + "--reset needs a sequence file");
    } else if (arg == "--max-line") {
      server.maxLine = reader.Value().value_or("").toInt(&ok);
      if (!ok || server.maxLine < 1 ||
          server.maxLine > static_cast<int>(serve::LineSplitter::kMostLongest)) {
        return reader.Usage("--max-line needs a number from 1 to 4096");
      }
    } else {
      return reader.Usage(in + "unknown argument " + arg);
    }
  }
  if (const auto problem = LinkProblem(instrument.link); problem && linkNamed) {
    return reader.Usage(in + *problem);
  }
  return std::nullopt;
}

}  // namespace

std::variant<ServeOptions, Exit> ParseServeOptions(const QStringList& given) {
  ServeOptions options;
  InstrumentOptions top;
  std::vector<Section> sections;
  // A configuration file's options stand where it is named: those after
  // it on the command line win; an instrument's section wins over both.
  QStringList arguments;
  for (int i = 0; i < given.size(); ++i) {
    if (given[i] != "--config") {
      arguments << given[i];
      continue;
    }
    if (i + 1 >= given.size()) {
      return OptionReader(given, kProgram, ServeHelp(), ZRT_VERSION).Usage("--config needs a file");
    }
    auto config = ConfigArguments(given[++i], top, sections);
    if (const auto* why = std::get_if<QString>(&config)) {
      return Exit{kUsage, QString(kProgram) + ": " + *why + "\n"};
    }
    arguments << std::get<QStringList>(config);
  }
  if (auto exit = Read(arguments, options, top, {}, sections.empty())) return *exit;
  options.listenHost = top.listenHost;
  if (sections.empty()) {
    options.instruments = {top};
    return options;
  }
  // Each section on the top level's options; a link of its own replaces
  // the top level's, whose rate, address and limits stay the defaults.
  std::set<QString> names;
  for (const Section& section : sections) {
    if (!names.insert(section.name.toLower()).second) {
      return Exit{kUsage, QString("%1: two instruments named %2\n").arg(kProgram, section.name)};
    }
    InstrumentOptions instrument = top;
    instrument.name = section.name;
    instrument.listening = false;  // a raw socket only where the section gives a listen
    if (section.arguments.contains("--port") || section.arguments.contains("--usb") ||
        section.arguments.contains("--simulate")) {
      instrument.link.port.clear();
      instrument.link.usb = instrument.link.simulate = false;
    }
    // Read as a command line is: after a program's name.
    if (auto exit = Read(QStringList{kProgram} + section.arguments, options, instrument,
                         section.name, true)) {
      return *exit;
    }
    for (const auto& [shape, number] : section.waveforms) instrument.waveforms[shape] = number;
    for (const auto& [name, value] : section.ranges) instrument.ranges[name] = value;
    options.instruments.push_back(std::move(instrument));
  }
  return options;
}

}  // namespace zrt::cli
