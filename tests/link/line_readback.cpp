// Kept apart from pty_pair.cpp: <asm/termbits.h> and <termios.h> cannot meet.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include "pty_pair.h"

namespace zrt::link::testing {

LineReadback ReadLineSettings(int fd) {
  termios2 t{};
  ioctl(fd, TCGETS2, &t);
  return {t.c_iflag,      t.c_oflag,     t.c_cflag,
          t.c_lflag,      t.c_ispeed,    t.c_ospeed,
          t.c_cc[VSTART], t.c_cc[VSTOP], (t.c_cflag & CBAUD) == BOTHER};
}

}  // namespace zrt::link::testing
