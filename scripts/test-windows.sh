#!/usr/bin/env bash
# Cross-builds the Windows program and its tests with MinGW-w64 and runs every
# test under Wine: the core suite, every scenario, the Windows services and
# the program itself on a virtual display. Uses a temporary Wine prefix that
# is removed at the end.
#
#   scripts/test-windows.sh [BUILD_DIR]     (default: build-win)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-"$root/build-win"}
jobs=${JOBS:-2}

cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" -j "$jobs"

export WINEPREFIX
WINEPREFIX=$(mktemp -d)
export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
pulse_pid=
pulse_dir=
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  if [ -n "$pulse_pid" ]; then kill "$pulse_pid" 2>/dev/null || true; fi
  rm -rf "$WINEPREFIX" ${pulse_dir:+"$pulse_dir"}
}
trap cleanup EXIT

# With a sound server the players write to a real (silent) output device;
# without one they find no device and stay silent.
if command -v pulseaudio >/dev/null && command -v pactl >/dev/null; then
  pulse_dir=$(mktemp -d)
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --disable-shm=yes \
    --load="module-null-sink sink_name=vmkt norewinds=1" \
    --load="module-native-protocol-unix auth-anonymous=1 socket=$pulse_dir/native" \
    >/dev/null 2>&1 &
  pulse_pid=$!
  export PULSE_SERVER="unix:$pulse_dir/native"
  for _ in $(seq 50); do
    pactl info >/dev/null 2>&1 && break
    sleep 0.1
  done
fi

# The first boot of a prefix takes several seconds; without it every test
# would wait for one.
wineserver -p >/dev/null 2>&1 </dev/null
wine wineboot -u >/dev/null 2>&1 </dev/null
# The boot leaves a desktop process without a display for a few seconds; a
# program started meanwhile would put its windows there.
for _ in $(seq 100); do
  left=0
  for p in $(pgrep -f 'explorer\.exe' 2>/dev/null); do
    if tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
      left=1
    fi
  done
  [ "$left" -eq 0 ] && break
  sleep 0.2
done

cd "$dir"
ctest --output-on-failure -j "$jobs"
