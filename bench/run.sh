#!/usr/bin/env bash
# Every benchmark in one run, printed as Markdown tables on stdout (progress
# on stderr):
#
#   bash bench/run.sh [BUILD_DIR]          (default build-bench; the Windows
#                                           program goes to BUILD_DIR-win)
#
# Installs what is missing (through sudo when not run as root), builds the
# Linux and the Windows program and the benchmarks, then starts its own
# world in a temporary directory: Xvfb with a notification area, a PulseAudio
# server with a null sink, a Wine prefix, settings directories and, for the
# peers, a D-Bus session. Nothing of the user's is read or written. Everything
# it started is ended again by process id, and the directory removed.
#
# Takes about 10 minutes: the alarms run in real time. JOBS (default 2) sets
# the build's parallelism; BENCH_PEERS (default "gnome-clocks,kalarm") the
# peers, empty for none; BENCH_PROGRAMS (default "qt,wine") which of the
# two programs are measured.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-"$root/build-bench"}
jobs=${JOBS:-2}
peers=${BENCH_PEERS-gnome-clocks,kalarm}
only=${BENCH_PROGRAMS:-qt,wine}

say() { echo "bench: $*" >&2; }

# ---- packages -----------------------------------------------------------------

sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
"$root/scripts/setup.sh" >&2
missing() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
  done
}
apt_install() {
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 install \
    -y -qq --no-install-recommends "$@" >/dev/null
}
need=$(missing libbenchmark-dev libxtst-dev libxdamage-dev python3 dbus-daemon)
if [ -n "$need" ]; then
  say "installing $(echo $need)"
  "${sudo[@]}" apt-get -qq update
  # shellcheck disable=SC2086
  apt_install $need
fi
peer_packages=$(missing ${peers//,/ })
if [ -n "$peer_packages" ]; then
  say "installing the peers: $(echo $peer_packages)"
  # shellcheck disable=SC2086
  apt_install $peer_packages || say "the peers could not be installed; they are left out"
fi

# ---- building -----------------------------------------------------------------

say "building into $dir and $dir-win"
# Quiet when it works; the compiler's words when it does not.
quietly() {
  local out
  out=$("$@" 2>&1) || { echo "$out" | tail -n 40 >&2; say "failed: $*"; exit 1; }
}
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVMKT_BENCH=ON -DVMKT_LINUX=ON \
  -DVMKT_TESTS=OFF >/dev/null
quietly cmake --build "$dir" -j "$jobs"
cmake -S "$root" -B "$dir-win" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DVMKT_BENCH=ON -DVMKT_TESTS=OFF >/dev/null
quietly cmake --build "$dir-win" -j "$jobs"

# ---- the world ----------------------------------------------------------------

T=$(mktemp -d -t vmkt-bench.XXXXXX)
# Every process started from here on carries this mark, also those that leave
# their parent (the peers' helpers): the clean-up finds them by it.
export VMKT_BENCH_RUN=$T
PIDS=()
cleanup() {
  set +e
  if [ -n "${WINEPREFIX:-}" ]; then
    wineserver -k >/dev/null 2>&1
  fi
  for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null; done
  local p left
  for _ in 1 2 3; do
    left=0
    for p in /proc/[0-9]*; do
      p=${p#/proc/}
      [ "$p" = $$ ] && continue
      if tr '\0' '\n' 2>/dev/null <"/proc/$p/environ" | grep -qxF "VMKT_BENCH_RUN=$T"; then
        kill "$p" 2>/dev/null && left=1
      fi
    done
    [ "$left" = 0 ] && break
    sleep 1
  done
  for pid in "${PIDS[@]}"; do wait "$pid" 2>/dev/null; done
  rm -rf "$T"
}
trap cleanup EXIT
trap 'exit 1' TERM INT

export XDG_CONFIG_HOME=$T/config XDG_CONFIG_DIRS=$T/xdg XDG_DATA_HOME=$T/data \
  XDG_CACHE_HOME=$T/cache XDG_RUNTIME_DIR=$T/run HOME=$T/home
mkdir -p "$XDG_CONFIG_HOME" "$XDG_CONFIG_DIRS" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$HOME"
mkdir -m 700 "$XDG_RUNTIME_DIR"
# The programs get no session bus (the peers get one of their own) and no
# system bus: nothing reaches the machine's power management.
export DBUS_SESSION_BUS_ADDRESS=unix:path=$T/no-session-bus
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$T/no-system-bus
unset WAYLAND_DISPLAY QT_QPA_PLATFORM SESSION_MANAGER LC_ALL
export LANG=zh_CN.UTF-8

wait_for() { # wait_for TENTHS COMMAND...
  local n=$1
  shift
  while ((n-- > 0)); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

display=
for n in $(seq 150 250); do
  [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -noreset >"$T/xvfb.log" 2>&1 &
  pid=$!
  if wait_for 50 xdpyinfo -display ":$n"; then
    PIDS+=("$pid")
    display=$n
    break
  fi
  kill "$pid" 2>/dev/null || true
done
[ -n "$display" ] || { say "could not start Xvfb"; exit 1; }
export DISPLAY=:$display
trayer --edge bottom --align right --widthtype request --height 32 --SetDockType true \
  >"$T/trayer.log" 2>&1 &
PIDS+=("$!")

mkdir -p "$T/pulse"
pulseaudio -n --daemonize=no --exit-idle-time=-1 --disable-shm=yes \
  --load="module-null-sink sink_name=bench norewinds=1" \
  --load="module-native-protocol-unix auth-anonymous=1 socket=$T/pulse/native" \
  >"$T/pulse.log" 2>&1 &
PIDS+=("$!")
export PULSE_SERVER=unix:$T/pulse/native
wait_for 50 pactl info || { say "could not start PulseAudio"; exit 1; }

say "preparing a Wine prefix"
export WINEPREFIX=$T/wine WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
wineserver -p >/dev/null 2>&1 </dev/null
wine wineboot -u >/dev/null 2>&1 </dev/null
# The boot leaves a desktop process without a display for a few seconds: a
# program started meanwhile would put its windows there.
boot_desktop_gone() {
  local p
  for p in $(pgrep -f 'explorer\.exe' 2>/dev/null); do
    tr '\0' '\n' 2>/dev/null <"/proc/$p/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX" && return 1
  done
  return 0
}
wait_for 300 boot_desktop_gone || true

# ---- the benchmarks -----------------------------------------------------------

echo "# Vemko闹钟 benchmarks"
echo
echo "$(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) CPUs ($(sed -n 's/^model name\s*: //p' \
  /proc/cpuinfo | head -1)), load average at the start $(cut -d' ' -f1-3 /proc/loadavg)."
echo "Qt $(qtpaths6 --qt-version 2>/dev/null || echo 6), $(wine --version 2>/dev/null)," \
  "PulseAudio $(pulseaudio --version | awk '{print $2}'), Xvfb."
echo

say "the sound output"
echo "## Sound"
echo
"$dir/bench/vmkt-bench-sound" 10
echo

say "the programs on the desktop (about 8 minutes)"
echo "## The programs on a desktop"
echo
programs=(--probe "$dir/bench/vmkt-bench-probe")
if [[ ",$only," == *,qt,* ]]; then
  programs+=(--vmkt "$dir/vmkt" --qt-timers "$dir/bench/vmkt-bench-timers-qt")
fi
if [[ ",$only," == *,wine,* ]]; then
  programs+=(--wine-exe "$dir-win/vmkt.exe" --wine-idle "$dir-win/bench/vmkt-bench-idle.exe"
    --wine-timers "$dir-win/bench/vmkt-bench-timers-win.exe")
fi
python3 -B "$root/bench/desktop.py" "${programs[@]}" --peers "$peers"

say "the core's own work"
echo "## The core's own work per tick (Google Benchmark)"
echo
echo '```'
"$dir/bench/vmkt-bench" --benchmark_min_time=0.2 2>&1
echo '```'
echo
echo "Load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)."
