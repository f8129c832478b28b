#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "cli/send_options.h"

namespace zrt::cli {

// In text mode the C runtime would write each line feed as CR LF.
void SetBinaryOutput() {
  std::fflush(stdout);
  _setmode(_fileno(stdout), _O_BINARY);
}

}  // namespace zrt::cli
