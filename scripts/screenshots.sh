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

# A firmware folder with release notes, and settings that name both.
firmware="$runtime/firmware"
mkdir -p "$firmware"
cp "$root/docs/sample-release-notes.rtf" "$firmware/tola400fwnotes.rtf"
write_settings "$runtime/settings.reg" "\"Port\"=\"$port\"" "\"FirmwareFolder\"=\"$firmware\""

rm -f "$out"/*.png
TOLA_SETTINGS="$runtime/settings.reg" QT_QPA_PLATFORM=offscreen "$shots" --out "$out"
