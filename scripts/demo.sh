#!/usr/bin/env bash
# The program against the simulated amplifier. With a display, the desktop program opens already
# connected to tola400-sim, and the simulator stops when the window closes. Without one, `tola`
# runs the port test, and the main window is drawn on the offscreen platform into a PNG.
set -euo pipefail
build="${1:-build}"
sim="$build/src/sim/tola400-sim"
tola="$build/src/cli/tola"
gui="$build/src/ui/tola-utility"
shots="$build/src/ui/tola-screenshots"

source "$(dirname "$0")/sim-session.sh"

echo "== Starting tola400-sim (an amplifier at 9600 bit/s, serial number 1234, revision 01.23)"
start_simulator "$sim" --speed 9600 --serial 1234 --revision 01.23 --revision-after-load 01.24
echo "== The simulator published port $port"

# A firmware folder holding revision 01.23, and a file server on this computer offering 01.24 with
# its release notes: "Copy New Files from Ostravel" fetches them, "Send Firmware to TOLA400" loads
# them into the simulator.
firmware_folders
start_file_server "$server_root"
if [ -n "$ftp_server" ]; then
  echo "== A file server on $ftp_server offers revision 01.24"
else
  echo "== python3-pyftpdlib is missing: no file server for \"Copy New Files from Ostravel\""
fi

# A settings file of the demo's own, so the user's settings are neither read nor changed; it
# names the simulator's port, so the program connects as it starts.
settings="$runtime/settings.reg"
write_settings "$settings" "\"Port\"=\"$port\"" "\"FirmwareFolder\"=\"$firmware\"" \
  "\"FileServer\"=\"${ftp_server:-127.0.0.1:1}\""

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "== Starting tola-utility on $port; close its window to end the demo"
  TOLA_SETTINGS="$settings" "$gui"
  exit 0
fi

echo
echo "== No display: the command-line program instead"
echo "== tola ports"
"$tola" ports
echo
echo "== tola --port $port test"
status=0
"$tola" --settings "$settings" --port "$port" test || status=$?
echo
if [ "$status" -eq 0 ]; then
  echo "== Port test succeeded (exit status 0)."
else
  echo "== Port test failed with exit status $status."
fi
if [ -n "$ftp_server" ]; then
  echo
  echo "== tola copy-firmware (from the file server on $ftp_server into $firmware)"
  copy_status=0
  "$tola" --settings "$settings" copy-firmware || copy_status=$?
  echo "== Copy ended with exit status $copy_status; the folder now holds:"
  ls "$firmware"
fi
out="${TMPDIR:-/tmp}/tola-demo-window.png"
if drawn="$(TOLA_SETTINGS="$settings" QT_QPA_PLATFORM=offscreen "$shots" --main-window "$out" 2>/dev/null)"; then
  echo "== The desktop program's window, drawn offscreen while connected to $port: $out"
  echo "$drawn" | sed -n 's/^title: /== Its title: /p'
fi
exit "$status"
