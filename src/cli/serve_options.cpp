#include "cli/serve_options.h"

#include "cli/help_texts.h"
#include "serve/listen_address.h"

namespace zrt::cli {

std::variant<ServeOptions, Exit> ParseServeOptions(const QStringList& arguments) {
  OptionReader reader(arguments, "zrt-serve", ServeHelp(), ZRT_VERSION);
  ServeOptions options;
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
