#include "cli/limits_file.h"

#include <QFile>

namespace zrt::cli {

std::variant<guard::Limits, QString> LoadLimits(const QString& file) {
  QFile in(file);
  if (!in.open(QIODevice::ReadOnly)) return file + ": " + in.errorString();
  // A few lines; anything much larger is no limits file.
  constexpr qint64 kLargest = 64 * 1024;
  const QByteArray text = in.read(kLargest + 1);
  if (text.size() > kLargest) return file + ": larger than a limits file can be";
  auto read = guard::ReadLimits(text.toStdString());
  if (auto* why = std::get_if<std::string>(&read))
    return file + ": " + QString::fromStdString(*why);
  return std::get<guard::Limits>(read);
}

}  // namespace zrt::cli
