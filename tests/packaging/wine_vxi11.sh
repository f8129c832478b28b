#!/usr/bin/env bash
# zrt-serve.exe's VXI-11 face under wine, found and driven by lxi-tools
# through the port mapper it runs itself, as on Windows, which has none.
# Run in a network namespace of its own (port 111 is then its own), with a
# wine prefix of its own (wineserver makes the sockets, so it runs there too).
#   wine_vxi11.sh ZRT_SERVE_EXE PREFIX_DIR
set -euo pipefail
exe=$1
export WINEPREFIX=$2 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
ip link set lo up
wineboot --init >/dev/null 2>&1
wineserver --wait
log=$WINEPREFIX/serve.log
trap 'wineserver --kill 2>/dev/null || true' EXIT
wine "$exe" --simulate --vxi11 --listen 127.0.0.1:5025 2>"$log" &
for _ in $(seq 200); do
  grep -q "port mapper of its own" "$log" 2>/dev/null && break
  sleep 0.1
done
grep -q "port mapper of its own" "$log" || { echo "zrt-serve.exe ran no port mapper:"; cat "$log"; exit 1; }
rpcinfo -p 127.0.0.1 | grep -q '395183 *1 *tcp' || { rpcinfo -p 127.0.0.1; exit 1; }
got=$(timeout 30 lxi scpi -a 127.0.0.1 -t 20 'SOUR1:FREQ 1000;FREQ?' | tr -d '\r')
if [ "$got" != "+1.0000000000E+03" ]; then
  echo "lxi scpi over VXI-11 got: $got"
  cat "$log"
  exit 1
fi
echo "zrt-serve.exe: VXI-11 found through its own port mapper and answered lxi scpi"
