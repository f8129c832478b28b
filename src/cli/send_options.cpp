#include "cli/send_options.h"

#include <variant>

#include "cli/help_texts.h"
#include "sequence/sequence.h"

namespace zrt::cli {

std::variant<SendOptions, Exit> ParseSendOptions(const QStringList& arguments) {
  OptionReader reader(arguments, "zrt-send", SendHelp(), ZRT_VERSION);
  SendOptions options;
  int formats = 0;
  while (reader.Next()) {
    const QString& arg = reader.Argument();
    std::optional<Exit> exit;
    if (reader.TakeShared(options.link, exit)) {
      if (exit) return *exit;
    } else if (arg == "--raw" || arg == "--hex" || arg == "--json") {
      ++formats;
      options.format = arg == "--raw"   ? ReplyFormat::Raw
                       : arg == "--hex" ? ReplyFormat::Hex
                                        : ReplyFormat::Json;
    } else if (arg == "--read-back") {
      options.readBack = true;
    } else if (arg == "--file") {
      const auto file = reader.Value();
      if (!file) return reader.Usage("--file needs a file");
      options.file = *file;
      if (options.file == "-") options.stdinFile = true;
    } else if (arg == "--hold-limit") {
      const auto text = reader.Value();
      const auto limit = text ? sequence::DurationOf(*text) : std::nullopt;
      if (!limit || limit->count() == 0) {
        return reader.Usage("--hold-limit needs a time such as 500ms or 10s");
      }
      options.link.holdLimit = *limit;
    } else if (arg == "--timeout") {
      const auto text = reader.Value();
      const auto timeout = text ? sequence::DurationOf(*text) : std::nullopt;
      if (!timeout) return reader.Usage("--timeout needs a time such as 500ms or 2s");
      options.timeout = *timeout;
    } else if (arg == "-") {
      options.stdinFile = true;
    } else if (arg.startsWith("--")) {
      return reader.Usage("unknown option " + arg);
    } else {
      options.lines << arg;
    }
  }
  if (formats > 1) return reader.Usage("choose one of --raw, --hex and --json");
  if (const auto problem = LinkProblem(options.link)) return reader.Usage(*problem);
  if (options.readBack &&
      (formats > 1 || options.format == ReplyFormat::Raw || options.format == ReplyFormat::Hex)) {
    return reader.Usage("--read-back prints text or --json");
  }
  const int sources = (options.readBack ? 1 : 0) + (options.lines.isEmpty() ? 0 : 1) +
                      (options.file.isEmpty() || options.stdinFile ? 0 : 1) +
                      (options.stdinFile ? 1 : 0);
  if (sources == 0)
    return reader.Usage("nothing to send: give lines, --file FILE, - or --read-back");
  if (sources > 1) return reader.Usage("give lines, --file, - or --read-back, one of them");
  return options;
}

}  // namespace zrt::cli
