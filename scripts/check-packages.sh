#!/usr/bin/env bash
# Builds the packages and checks them: the .deb of the Linux program installs
# with its dependencies, puts its files in place and starts; the Windows zip
# holds vmkt.exe, which needs no DLL beside it. Installs and removes the
# package on this machine, so it is meant for a disposable one (CI).
#
#   scripts/check-packages.sh [LINUX_BUILD_DIR] [WINDOWS_BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
linux=${1:-"$root/build"}
windows=${2:-"$root/build-win"}
sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)

failed=0
pass() { echo "ok: $1"; }
fail() {
  echo "FAILED: $1"
  failed=1
}

# ---- the .deb ----------------------------------------------------------------
(cd "$linux" && cpack -G DEB >/dev/null)
deb=$(ls "$linux"/vmkt_*_amd64.deb)
echo "package: $(basename "$deb")"

appstreamcli validate --no-net "$root/packaging/vmkt.metainfo.xml" >/dev/null &&
  pass "the AppStream metainfo is valid" || fail "the AppStream metainfo is valid"
desktop-file-validate "$root/ui/icons/vmkt.desktop" &&
  pass "the desktop file is valid" || fail "the desktop file is valid"

"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 \
  install -y -qq --no-install-recommends "$deb" >/dev/null
for f in /usr/bin/vmkt /usr/share/applications/vmkt.desktop /usr/share/metainfo/vmkt.metainfo.xml \
  /usr/share/icons/hicolor/16x16/apps/vmkt.png /usr/share/icons/hicolor/scalable/apps/vmkt.svg; do
  [ -e "$f" ] && pass "installed $f" || fail "installed $f"
done

# The installed program starts on a display of its own and maps its strip.
work=$(mktemp -d)
cleanup() {
  [ -n "${vmkt_pid:-}" ] && kill "$vmkt_pid" 2>/dev/null
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
# Xvfb takes a free display itself and writes its number once it accepts
# connections.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
display=
for _ in $(seq 200); do
  n=$(cat "$work/display" 2>/dev/null) || true
  if [ -n "$n" ]; then
    display=:$n
    break
  fi
  sleep 0.1
done
[ -n "$display" ] || fail "Xvfb did not start in 20 s: $(cat "$work/xvfb.log")"
DISPLAY=$display XDG_CONFIG_HOME=$work/config XDG_CONFIG_DIRS=$work/xdg \
  PULSE_SERVER=unix:$work/none /usr/bin/vmkt >"$work/out" 2>&1 &
vmkt_pid=$!
geometry=
for _ in $(seq 100); do
  id=$(DISPLAY=$display xdotool search --onlyvisible --name '^Vemko闹钟$' 2>/dev/null | head -1) || true
  if [ -n "$id" ]; then
    geometry=$(DISPLAY=$display xdotool getwindowgeometry "$id" | tr -d '\n')
    break
  fi
  sleep 0.1
done
case "$geometry" in
  *"Position: 551,0"*"Geometry: 333x22"*) pass "the installed vmkt starts and maps its strip" ;;
  *) fail "the installed vmkt starts and maps its strip (found: ${geometry:-nothing}; $(cat "$work/out"))" ;;
esac
kill "$vmkt_pid" 2>/dev/null || true
wait "$vmkt_pid" 2>/dev/null || true
vmkt_pid=

"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq vmkt >/dev/null
[ ! -e /usr/bin/vmkt ] && pass "the package removes cleanly" || fail "the package removes cleanly"

# ---- the Windows zip ---------------------------------------------------------
if [ -d "$windows" ]; then
  (cd "$windows" && cpack -G ZIP >/dev/null)
  zip=$(ls "$windows"/vmkt-*-win64.zip)
  echo "package: $(basename "$zip")"
  unzip -o -q "$zip" -d "$work/zip"
  if [ -f "$work/zip/vmkt.exe" ]; then
    pass "the zip holds vmkt.exe"
    # Only DLLs that come with Windows itself.
    extra=$(x86_64-w64-mingw32-objdump -p "$work/zip/vmkt.exe" | awk '/DLL Name:/ {print tolower($3)}' |
      grep -vxE '(kernel32|user32|gdi32|advapi32|shell32|comctl32|winmm|powrprof|msvcrt|ole32|uxtheme|api-ms-win-.*)\.dll' || true)
    [ -z "$extra" ] && pass "vmkt.exe needs no DLL beside it" || fail "vmkt.exe needs no DLL beside it (needs: $extra)"
  else
    fail "the zip holds vmkt.exe"
  fi
fi

exit "$failed"
