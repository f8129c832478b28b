#include "cli/send_options.h"

namespace zrt::cli {

// POSIX streams have no text mode: the bytes go out as they are.
void SetBinaryOutput() {}

}  // namespace zrt::cli
