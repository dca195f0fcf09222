#!/usr/bin/env bash
# Starts the amplifier simulator on a pseudo-terminal, runs the port test against it with `tola`,
# shows the outcome, and stops the simulator again.
set -euo pipefail
build="${1:-build}"
sim="$build/src/sim/tola400-sim"
tola="$build/src/cli/tola"

runtime="$(mktemp -d /tmp/tola-demo-XXXXXX)"
export XDG_RUNTIME_DIR="$runtime"
sim_out="$runtime/sim.out"
cleanup() {
  [ -n "${sim_pid:-}" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$runtime"
}
trap cleanup EXIT

echo "== Starting tola400-sim (an amplifier at 9600 bit/s, serial number 1234, revision 01.23)"
"$sim" --speed 9600 --serial 1234 --revision 01.23 >"$sim_out" 2>&1 &
sim_pid=$!
for _ in $(seq 50); do
  [ -s "$sim_out" ] && break
  sleep 0.1
done
port="$(head -n 1 "$sim_out")"
[ -n "$port" ] || { echo "the simulator did not start:"; cat "$sim_out"; exit 1; }
echo "== The simulator published port $port"
echo
echo "== tola ports"
"$tola" ports
echo
# A settings hive of the demo's own, so the user's settings are neither read nor changed.
printf 'Windows Registry Editor Version 5.00\r\n\r\n' >"$runtime/settings.reg"
echo "== tola --port $port test"
status=0
"$tola" --settings "$runtime/settings.reg" --port "$port" test || status=$?
echo
if [ "$status" -eq 0 ]; then
  echo "== Port test succeeded (exit status 0)."
else
  echo "== Port test failed with exit status $status."
fi
exit "$status"
