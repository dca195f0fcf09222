#!/usr/bin/env bash
# Builds the Debian package from BUILD_DIR and checks it the way an installed copy is used, without
# installing it: unpacked into a temporary root, each program starts, the desktop entry and the
# metainfo validate, the man pages render with the programs' options, and Tab completes `tola`.
set -euo pipefail

build=${1:?usage: check-package.sh BUILD_DIR}
build=$(cd "$build" && pwd)
fail() { echo "check-package: FAIL: $*" >&2; exit 1; }

log=$(cmake --build "$build" --target package 2>&1) || fail "cpack could not build the package: $log"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb=$build/tola-utility_${version}_$(dpkg --print-architecture).deb
[[ -f $deb ]] || fail "no $deb"

control=$(dpkg-deb --field "$deb")
grep -qx 'Section: hamradio' <<<"$control" || fail "section is not hamradio"
depends=$(sed -n 's/^Depends: //p' <<<"$control")
# Libraries found by dpkg-shlibdeps, and what it cannot see.
for needed in libc6 libqt6widgets6 libcurl4 libfmt9 fonts-liberation libqt6svg6; do
  grep -q "\b$needed\b" <<<"$depends" || fail "Depends lacks $needed: $depends"
done

contents=$(dpkg -c "$deb" | awk '{ print $NF }')
for path in ./usr/bin/tola-utility ./usr/bin/tola ./usr/bin/tola400-sim \
            ./usr/share/applications/tola-utility.desktop \
            ./usr/share/icons/hicolor/scalable/apps/tola-utility.svg \
            ./usr/share/metainfo/org.example.TolaUtility.metainfo.xml \
            ./usr/share/man/man1/tola-utility.1.gz ./usr/share/man/man1/tola.1.gz \
            ./usr/share/man/man1/tola400-sim.1.gz ./usr/share/bash-completion/completions/tola \
            ./usr/share/doc/tola-utility/Licence.rtf ./usr/share/doc/tola-utility/README.md; do
  grep -qx -- "$path" <<<"$contents" || fail "the package lacks $path"
done

root=$(mktemp -d)
sim_pid=""
cleanup() {
  if [[ -n $sim_pid ]]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
  rm -rf "$root"
}
trap cleanup EXIT
dpkg -x "$deb" "$root/fs"
bin=$root/fs/usr/bin
share=$root/fs/usr/share
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$root/run HOME=$root/home
mkdir -m 700 "$XDG_RUNTIME_DIR" "$HOME"

for program in tola-utility tola tola400-sim; do
  out=$("$bin/$program" --version 2>/dev/null) || fail "$program --version failed"
  grep -q "$version" <<<"$out" || fail "$program --version does not name $version: $out"
done

# Hints (other categories it could also have) pass; errors and warnings fail.
out=$(desktop-file-validate --no-hints "$share/applications/tola-utility.desktop") && [[ -z $out ]] ||
  fail "desktop-file-validate: $out"
appstreamcli validate --no-net "$share/metainfo/org.example.TolaUtility.metainfo.xml" >/dev/null ||
  fail "appstreamcli validate: $(appstreamcli validate --no-net "$share/metainfo/org.example.TolaUtility.metainfo.xml")"

# Each long option a program's --help names appears on its man page; `man tola` also has each
# command under its name, with that command's options.
for program in tola-utility tola tola400-sim; do
  page=$(LC_ALL=C MANWIDTH=200 man --nh --nj -l "$share/man/man1/$program.1.gz" 2>&1) ||
    fail "man -l $program.1.gz: $page"
  helps=$("$bin/$program" --help 2>/dev/null)
  if [[ $program == tola ]]; then
    for command in $(awk '/^[^ ]/ { inside = ($0 == "Commands:"); next } inside && /^  [a-z]/ { print $1 }' <<<"$helps"); do
      grep -qx "   $command" <<<"$page" || fail "man tola has no heading for the command $command"
      helps+=$'\n'$("$bin/tola" "$command" --help)
    done
  fi
  for option in $(grep -oE -- '--[a-z][a-z-]+' <<<"$helps" | sort -u); do
    grep -q -- "$option" <<<"$page" || fail "the man page of $program does not mention $option"
  done
done

# Tab completion, with a simulator publishing a port for `--port`.
"$bin/tola400-sim" --name ttyPKGCHECK >"$root/sim.out" 2>&1 &
sim_pid=$!
for _ in $(seq 50); do grep -q ttyPKGCHECK "$root/sim.out" && break; sleep 0.1; done
grep -q ttyPKGCHECK "$root/sim.out" || fail "the simulator did not start: $(cat "$root/sim.out")"

complete_line() {
  bash --norc --noprofile -c '
    source /usr/share/bash-completion/bash_completion
    source "$1"; shift
    COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
    _tola tola "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf "%s\n" "${COMPREPLY[@]}"' complete "$share/bash-completion/completions/tola" "$@"
}
expect_completion() {
  local want=$1; shift
  local got
  got=$(complete_line "$@") || fail "the completion script failed on: $*"
  grep -qx -- "$want" <<<"$got" || fail "\"${*:2}\" did not complete to $want, but to: $(echo $got)"
}
expect_completion test "$bin/tola" te
expect_completion --timeout "$bin/tola" -q test --ti
expect_completion --settings "$bin/tola" --se
expect_completion ttyPKGCHECK "$bin/tola" --port ttyPKG

echo "check-package: $(basename "$deb") OK"
