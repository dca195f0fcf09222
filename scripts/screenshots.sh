#!/usr/bin/env bash
# Draws the desktop program's pages and dialogs into docs/screenshots/, connected to tola400-sim,
# on Qt's offscreen platform (no display needed).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-build}"
sim="$build/src/sim/tola400-sim"
shots="$build/src/ui/tola-screenshots"
out="$root/docs/screenshots"

source "$root/scripts/sim-session.sh"
start_simulator "$sim" --speed 38400 --serial 1234 --revision 01.23 --revision-after-load 01.24

# A firmware folder with revision 01.23, and a file server offering 01.24 with its release notes,
# slow enough that the copy can be drawn part-way; small images keep the load short.
firmware_folders 16384
start_file_server "$server_root" --rate 12000
[ -n "$ftp_server" ] || { echo "screenshots: the loopback file server needs python3-pyftpdlib"; exit 1; }
write_settings "$runtime/settings.reg" "\"Port\"=\"$port\"" "\"FirmwareFolder\"=\"$firmware\"" \
  "\"FileServer\"=\"$ftp_server\""

rm -f "$out"/*.png
TOLA_SETTINGS="$runtime/settings.reg" QT_QPA_PLATFORM=offscreen "$shots" --out "$out"
