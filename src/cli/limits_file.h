// The limits file zrt-send and zrt-serve take with --limits: an INI file
// with a section per channel (see guard/limits.h).
#pragma once

#include <QString>
#include <variant>

#include "guard/limits.h"

namespace zrt::cli {

// The limits in `file`. A file that cannot be read, sets no limit, or says
// something else, is refused: "FILE: why".
std::variant<guard::Limits, QString> LoadLimits(const QString& file);

}  // namespace zrt::cli
