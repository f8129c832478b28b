// What --help prints for zrt-send and zrt-serve, and the texts of the
// options they share, each written once, in the same columns.
#pragma once

#include <QString>

namespace zrt::cli {

// The link's options, the limits', and --help with --version.
extern const char* const kLinkOptionsHelp;
extern const char* const kLimitsOptionHelp;
extern const char* const kHelpVersionHelp;

QString SendHelp();
QString ServeHelp();

}  // namespace zrt::cli
