#!/bin/sh
# Runs a command as on a desktop with a screen reader: on an X server of its
# own, with a session bus and the AT-SPI accessibility bus, so that Qt's
# accessibility is active. Bounded: a command that hangs is ended.
exec timeout 120 xvfb-run -a dbus-run-session -- sh -c '
  /usr/libexec/at-spi-bus-launcher --launch-immediately &
  launcher=$!
  QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$@"
  status=$?
  kill "$launcher" 2>/dev/null
  exit "$status"
' sh "$@"
