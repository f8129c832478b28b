#include "cli/serve_options.h"

#include <QFile>

#include "cli/help_texts.h"
#include "serve/listen_address.h"
#include "settings/ini_text.h"

namespace zrt::cli {

namespace {

// The options a configuration file gives, as arguments, and its waveform
// numbers; or why it cannot be read. A key is an option's name without its
// dashes; a switch's value is true or false.
std::variant<QStringList, QString> ConfigArguments(const QString& file, ServeOptions& options) {
  QFile in(file);
  if (!in.open(QIODevice::ReadOnly)) return file + ": " + in.errorString();
  constexpr qint64 kLargest = 64 * 1024;
  const QByteArray text = in.read(kLargest + 1);
  if (text.size() > kLargest) return file + ": larger than a configuration file can be";
  const auto read = settings::ReadIni(text.toStdString());
  if (const auto* why = std::get_if<std::string>(&read)) {
    return file + ": " + QString::fromStdString(*why);
  }
  QStringList arguments;
  for (const settings::IniEntry& entry : std::get<std::vector<settings::IniEntry>>(read)) {
    const QString where = QString("%1: line %2: ").arg(file).arg(entry.line);
    const QString key = QString::fromStdString(entry.key);
    const QString value = QString::fromStdString(entry.value);
    if (entry.section == "waveforms") {
      if (entry.key.empty()) continue;  // the section's own line
      bool ok = false;
      const int number = value.toInt(&ok);
      if (!ok || number < 0) return where + "a waveform's number is a whole number from 0";
      options.waveforms[key.toLower().toStdString()] = number;
      continue;
    }
    if (!entry.section.empty()) return where + "the sections are none and [waveforms]";
    if (key == "config") return where + "a configuration file names no other";
    if (key == "usb" || key == "simulate" || key == "scpi" || key == "vxi11") {
      if (value == "true") {
        arguments << "--" + key;
      } else if (value != "false") {
        return where + key + " is true or false";
      }
      continue;
    }
    arguments << "--" + key << value;
  }
  return arguments;
}

}  // namespace

std::variant<ServeOptions, Exit> ParseServeOptions(const QStringList& given) {
  ServeOptions options;
  // A configuration file's options stand where it is named: those after
  // it on the command line win.
  QStringList arguments;
  for (int i = 0; i < given.size(); ++i) {
    if (given[i] != "--config") {
      arguments << given[i];
      continue;
    }
    if (i + 1 >= given.size()) {
      return OptionReader(given, "zrt-serve", ServeHelp(), ZRT_VERSION)
          .Usage("--config needs a file");
    }
    auto config = ConfigArguments(given[++i], options);
    if (const auto* why = std::get_if<QString>(&config))
      return Exit{kUsage, "zrt-serve: " + *why + "\n"};
    arguments << std::get<QStringList>(config);
  }
  OptionReader reader(arguments, "zrt-serve", ServeHelp(), ZRT_VERSION);
  while (reader.Next()) {
    const QString& arg = reader.Argument();
    std::optional<Exit> exit;
    bool ok = false;
    if (reader.TakeShared(options.link, exit)) {
      if (exit) return *exit;
    } else if (arg == "--listen") {
      const auto text = reader.Value();
      if (!text || !serve::ParseListenAddress(*text, options.listenHost, options.listenPort)) {
        return reader.Usage("--listen needs [HOST:]PORT, such as 127.0.0.1:5025");
      }
    } else if (arg == "--max-clients") {
      options.maxClients = reader.Value().value_or("").toInt(&ok);
      if (!ok || options.maxClients < 1) return reader.Usage("--max-clients needs a number from 1");
    } else if (arg == "--reopen-within") {
      const int seconds = reader.Value().value_or("").toInt(&ok);
      if (!ok || seconds < 1)
        return reader.Usage("--reopen-within needs a number of seconds from 1");
      options.reopenWithin = std::chrono::seconds(seconds);
    } else if (arg == "--scpi") {
      options.scpi = true;
    } else if (arg == "--vxi11") {
      options.vxi11 = true;
    } else if (arg == "--idn") {
      options.identity = reader.Value().value_or("");
      if (options.identity.count(',') != 3) {
        return reader.Usage("--idn needs four fields: MAKER,MODEL,SERIAL,FIRMWARE");
      }
    } else if (arg == "--reset") {
      options.resetFile = reader.Value().value_or("");
      if (options.resetFile.isEmpty()) return reader.Usage("--reset needs a sequence file");
    } else if (arg == "--max-line") {
      options.maxLine = reader.Value().value_or("").toInt(&ok);
      if (!ok || options.maxLine < 1 ||
          options.maxLine > static_cast<int>(serve::LineSplitter::kMostLongest)) {
        return reader.Usage("--max-line needs a number from 1 to 4096");
      }
    } else {
      return reader.Usage("unknown argument " + arg);
    }
  }
  if (const auto problem = LinkProblem(options.link)) return reader.Usage(*problem);
  return options;
}

}  // namespace zrt::cli
