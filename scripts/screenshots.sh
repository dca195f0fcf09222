#!/usr/bin/env bash
# Draws the desktop program's pages and dialogs into docs/screenshots/, connected to tola400-sim,
# on Qt's offscreen platform (no display needed).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-build}"
sim="$build/src/sim/tola400-sim"
shots="$build/src/ui/tola-screenshots"
out="$root/docs/screenshots"

runtime="$(mktemp -d /tmp/tola-shots-XXXXXX)"
chmod 700 "$runtime"
export XDG_RUNTIME_DIR="$runtime"
cleanup() {
  [ -n "${sim_pid:-}" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$runtime"
}
trap cleanup EXIT

"$sim" --speed 38400 --serial 1234 --revision 01.23 >"$runtime/sim.out" 2>&1 &
sim_pid=$!
for _ in $(seq 50); do
  [ -s "$runtime/sim.out" ] && break
  sleep 0.1
done
port="$(head -n 1 "$runtime/sim.out")"
[ -n "$port" ] || { echo "the simulator did not start"; exit 1; }

# A firmware folder with release notes, and settings that name both.
firmware="$runtime/firmware"
mkdir -p "$firmware"
cp "$root/docs/sample-release-notes.rtf" "$firmware/tola400fwnotes.rtf"
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Ostravel\\TOLA Utility]\r\n"Port"="%s"\r\n"FirmwareFolder"="%s"\r\n' \
  "$port" "$firmware" >"$runtime/settings.reg"

rm -f "$out"/*.png
TOLA_SETTINGS="$runtime/settings.reg" QT_QPA_PLATFORM=offscreen "$shots" --out "$out"
