# Sourced by the demo and screenshot scripts: a private runtime folder (removed on exit) in which
# tola400-sim publishes its port, and a settings file of the session's own.
#   start_simulator SIM ARGS...   starts it in the background and sets $port, or exits
#   write_settings FILE LINES...  a settings hive holding the given value lines

runtime="$(mktemp -d /tmp/tola-session-XXXXXX)"
chmod 700 "$runtime"
export XDG_RUNTIME_DIR="$runtime"
cleanup() {
  [ -n "${sim_pid:-}" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$runtime"
}
trap cleanup EXIT

start_simulator() {
  local out="$runtime/sim.out"
  "$@" >"$out" 2>&1 &
  sim_pid=$!
  for _ in $(seq 50); do
    [ -s "$out" ] && break
    sleep 0.1
  done
  port="$(head -n 1 "$out")"
  [ -n "$port" ] || { echo "the simulator did not start:"; cat "$out"; exit 1; }
}

write_settings() {
  local file="$1"
  shift
  printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Ostravel\\TOLA Utility]\r\n' >"$file"
  local line
  for line in "$@"; do printf '%s\r\n' "$line" >>"$file"; done
}
