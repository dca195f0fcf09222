#!/usr/bin/env bash
# make test-windows: the Windows build's programs under Wine in a throw-away prefix.
#   1. the core's test programs (ctest runs each through Wine);
#   2. the command line's end-to-end tests of the Linux build, run against tola.exe through
#      scripts/wine-tola.sh, with tola400-sim behind a COM port of the prefix;
#   3. `tola.exe --port COM5 test` against a simulator, as an operator would run it.
# Usage: test-windows.sh WINDOWS_BUILD_DIR LINUX_BUILD_DIR
set -euo pipefail
win=$(cd "${1:-build-windows}" && pwd)
linux=$(cd "${2:-build}" && pwd)
here=$(cd "$(dirname "$0")/.." && pwd)

export WINEDEBUG=-all
# No offer to install Mono or Gecko: nothing here needs .NET or the HTML engine.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/tola-wine.XXXXXX")
runtime=$(mktemp -d "${TMPDIR:-/tmp}/tola-wine-run.XXXXXX")
sim_pid=
ftp_pid=
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
  [ -n "$ftp_pid" ] && kill "$ftp_pid" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX" "$runtime"
}
trap cleanup EXIT

started=$SECONDS
echo "test-windows: creating the Wine prefix $WINEPREFIX"
# wineboot's status says nothing useful (it complains of the 32-bit half Debian's wine64 lacks);
# the prefix's system folder says whether it was made.
wine wineboot -i >/dev/null 2>&1 || true
[ -d "$WINEPREFIX/drive_c/windows" ] || { echo "test-windows: wineboot made no prefix" >&2; exit 1; }
# One wine server for the whole run, kept when no program runs: every program then starts in a
# fraction of a second. (The one wineboot started must have ended first.)
wineserver -w
wineserver -p >/dev/null 2>&1
# Wine's services start with the first program and live as long as the server: started by a
# program whose output goes nowhere, they hold no test's output pipe open.
wine cmd /c exit >/dev/null 2>&1 </dev/null
echo "test-windows: prefix ready after $((SECONDS - started)) s"

# Starts a simulator on a pseudo-terminal; sets sim_pid and sim_pty.
start_simulator() {
  local out="$runtime/sim.out"
  XDG_RUNTIME_DIR=$runtime "$linux/src/sim/tola400-sim" "$@" >"$out" 2>"$runtime/sim.err" &
  sim_pid=$!
  for _ in $(seq 100); do
    [ "$(wc -l <"$out")" -ge 2 ] && break
    sleep 0.05
  done
  sim_pty=$(sed -n 2p "$out")
  [ -n "$sim_pty" ] || { echo "test-windows: the simulator did not start" >&2; cat "$runtime/sim.err" >&2; exit 1; }
}

echo "test-windows: the core's test programs"
# The file server copy's tests ask this launcher on Linux for a loopback FTP server per case.
/usr/bin/python3 "$here/scripts/loopback-ftp.py" --launcher --port 0 --port-file "$runtime/ftp-launcher.port" \
  >/dev/null 2>"$runtime/ftp-launcher.err" &
ftp_pid=$!
for _ in $(seq 100); do [ -s "$runtime/ftp-launcher.port" ] && break; sleep 0.05; done
[ -s "$runtime/ftp-launcher.port" ] || { echo "test-windows: the FTP launcher did not start" >&2; cat "$runtime/ftp-launcher.err" >&2; exit 1; }
export TOLA_TEST_FTP="127.0.0.1:$(cat "$runtime/ftp-launcher.port")"
# The serial port's tests start the Linux simulator themselves behind a COM port of the prefix.
export TOLA400_SIM_PATH="$linux/src/sim/tola400-sim"
ctest --test-dir "$win" --output-on-failure
echo "test-windows: unit tests done after $((SECONDS - started)) s"

echo "test-windows: tola.exe against the simulator (the end-to-end tests of the command line)"
# The tests read what the program saved in its default folders under the prefix.
appdata_shown=$(wine cmd /c echo %APPDATA% 2>/dev/null </dev/null | tr -d '\r')
appdata=$(winepath -u "$appdata_shown" 2>/dev/null)
TOLA_E2E_WINDOWS=1 TOLA_E2E_APPDATA="${appdata%/}" TOLA_E2E_APPDATA_SHOWN="$appdata_shown" \
  TOLA_E2E_PROGRAM="$here/scripts/wine-tola.sh" TOLA_WINDOWS_EXE="$win/src/cli/tola.exe" \
  "$linux/tests/tola_tests_e2e" --gtest_brief=1 --gtest_filter="$(cat "$here/tests/e2e/windows-cases.txt" | paste -sd:)"
echo "test-windows: end-to-end tests done after $((SECONDS - started)) s"

echo "test-windows: tola.exe --port COM5 test"
start_simulator --serial 4321
ln -sfn "$sim_pty" "$WINEPREFIX/dosdevices/com5"
out=$(wine "$win/src/cli/tola.exe" --port COM5 test 2>&1 | tr -d '\r') || { echo "$out"; exit 1; }
echo "$out"
grep -q "04321" <<<"$out" || { echo "test-windows: the amplifier was not identified" >&2; exit 1; }
echo "test-windows: passed in $((SECONDS - started)) s"
