// The limits file zrt-send and zrt-serve take with --limits: an INI file
// with a section per channel (see settings/limits.h).
#pragma once

#include <QString>
#include <variant>

#include "settings/limits.h"

namespace zrt::cli {

// The limits in `file`; none at all when no file is named. A file that
// cannot be read, or says something else, is refused: "FILE: why".
std::variant<settings::Limits, QString> LoadLimits(const QString& file);

}  // namespace zrt::cli
