# Sourced by the demo and screenshot scripts: a private runtime folder (removed on exit) in which
# tola400-sim publishes its port, and a settings file of the session's own.
#   start_simulator SIM ARGS...   starts it in the background and sets $port, or exits
#   start_file_server ROOT ARGS.. serves ROOT on a loopback FTP server and sets $ftp_server, or
#                                 leaves it empty when python3-pyftpdlib is missing
#   firmware_folders [BYTES]      a local folder with revision 01.23 and a server tree with 01.24
#                                 and release notes (images of BYTES, default a full one); sets
#                                 $firmware and $server_root
#   write_settings FILE LINES...  a settings hive holding the given value lines

runtime="$(mktemp -d /tmp/tola-session-XXXXXX)"
chmod 700 "$runtime"
export XDG_RUNTIME_DIR="$runtime"
cleanup() {
  [ -n "${sim_pid:-}" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  [ -n "${ftp_pid:-}" ] && kill "$ftp_pid" 2>/dev/null && wait "$ftp_pid" 2>/dev/null
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

scripts_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

start_file_server() {
  ftp_server=""
  # Debian's own python has the FTP library; one earlier on the PATH may not.
  local python="" candidate
  for candidate in /usr/bin/python3 python3; do
    if "$candidate" -c 'import pyftpdlib' 2>/dev/null; then python="$candidate"; break; fi
  done
  [ -n "$python" ] || return 0
  local port_file="$runtime/ftp.port"
  local root="$1"
  shift
  "$python" "$scripts_dir/loopback-ftp.py" --root "$root" --port 0 --port-file "$port_file" "$@" \
    >"$runtime/ftp.out" 2>&1 &
  ftp_pid=$!
  for _ in $(seq 50); do
    [ -s "$port_file" ] && break
    sleep 0.1
  done
  [ -s "$port_file" ] && ftp_server="127.0.0.1:$(cat "$port_file")"
}

firmware_folders() {
  firmware="$runtime/firmware"
  server_root="$runtime/server"
  mkdir -p "$firmware" "$server_root/TOLA/firmware"
  local length=()
  [ -n "${1:-}" ] && length=(--length "$1")
  python3 "$scripts_dir/sample-firmware.py" "$firmware/tola400fw0123.hex" --seed 1 "${length[@]}"
  python3 "$scripts_dir/sample-firmware.py" "$server_root/TOLA/firmware/tola400fw0124.hex" --seed 2 "${length[@]}"
  cp "$scripts_dir/../docs/sample-release-notes.rtf" "$server_root/TOLA/firmware/tola400fwnotes.rtf"
}

write_settings() {
  local file="$1"
  shift
  printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Ostravel\\TOLA Utility]\r\n' >"$file"
  local line
  for line in "$@"; do printf '%s\r\n' "$line" >>"$file"; done
}
