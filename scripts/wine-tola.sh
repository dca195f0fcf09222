#!/usr/bin/env bash
# Runs the Windows tola.exe under Wine the way the Linux end-to-end tests run tola: a port given as
# a simulator's virtual name or as a device path is first made a COM port of the Wine prefix
# (dosdevices/comN, a link to the pseudo-terminal; /dev/pts/K becomes COM(K+10)), and tola.exe is
# given that COM name. Output is passed on line by line without the carriage returns of Windows
# line ends.
#   TOLA_WINDOWS_EXE  the tola.exe to run; WINEPREFIX  the prefix
set -uo pipefail
exe=${TOLA_WINDOWS_EXE:?TOLA_WINDOWS_EXE names tola.exe}
prefix=${WINEPREFIX:?WINEPREFIX names the Wine prefix}

com_port() {
  local name=$1 device=
  if [[ $name == /* ]]; then
    device=$name
  elif [[ -n ${XDG_RUNTIME_DIR:-} && -L $XDG_RUNTIME_DIR/tola400-sim/$name ]]; then
    device=$(readlink -f "$XDG_RUNTIME_DIR/tola400-sim/$name")
  fi
  if [[ $device =~ ^/dev/pts/([0-9]+)$ ]]; then
    local number=$((BASH_REMATCH[1] + 10))
    ln -sfn "$device" "$prefix/dosdevices/com$number"
    echo "COM$number"
  else
    echo "$name"  # a COM name already, or a port that does not exist: tola.exe says so
  fi
}

args=()
while [ $# -gt 0 ]; do
  case $1 in
    --port) args+=(--port "$(com_port "${2-}")"); shift 2 || shift ;;
    --port=*) args+=("--port=$(com_port "${1#--port=}")"); shift ;;
    *) args+=("$1"); shift ;;
  esac
done

wine "$exe" "${args[@]}" 2> >(stdbuf -oL tr -d '\r' >&2) | stdbuf -oL tr -d '\r'
status=${PIPESTATUS[0]}
wait
exit "$status"
