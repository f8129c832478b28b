# Sourced by test scripts. serve_ser2net KIND DEVICE FOLDER starts ser2net
# serving DEVICE on a free port of loopback, by Telnet with RFC 2217 (KIND
# rfc2217) or raw (KIND tcp), its configuration and pid file in FOLDER, and
# waits until it accepts. Sets ser2net_pid (a child of the caller, who stops
# it) and ser2net_address, the port's name for the component
# (rfc2217://127.0.0.1:PORT).
serve_ser2net() {
  local kind=$1 device=$2 folder=$3 program number accepter
  program=$(command -v ser2net || echo /usr/sbin/ser2net)
  [ -x "$program" ] || { echo "ser2net is not installed" >&2; return 1; }
  number=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  accepter=tcp,127.0.0.1,$number
  if [ "$kind" = rfc2217 ]; then accepter=telnet\(rfc2217\),$accepter; fi
  printf 'connection: &test\n  accepter: %s\n  connector: serialdev,%s,19200n81,local\n' \
    "$accepter" "$(readlink -f "$device")" >"$folder/ser2net.yaml"
  # -n: in the foreground; -d: no daemon; -P: its pid file here, not in /run.
  "$program" -n -d -P "$folder/ser2net.pid" -c "$folder/ser2net.yaml" </dev/null >/dev/null 2>&1 &
  ser2net_pid=$!
  for _ in $(seq 200); do
    (: </dev/tcp/127.0.0.1/"$number") 2>/dev/null && break
    sleep 0.05
  done
  ser2net_address=$kind://127.0.0.1:$number
}
