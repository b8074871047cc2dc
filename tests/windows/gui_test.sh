#!/usr/bin/env bash
# The Windows program under Wine on a virtual display, driven as a user would:
# the strip's size and place, typing into a field, the tray icon's double-click
# and popup menu, the about box, a close request and an end of session while
# an alarm runs (answered No), and a close request while idle, which ends the
# program with exit code 0. Screenshots go into the output directory.
#
#   gui_test.sh VMKT_EXE PROBE_EXE OUTPUT_DIR
#
# Needs Wine (WINEPREFIX set up by the caller), Xvfb, xdotool, xwininfo,
# ImageMagick's import, a CJK font and the zh_CN.UTF-8 locale (generated here
# when missing and running as root).
set -euo pipefail
exe=$1
probe=$2
out=$3
wine=${WINE:-wine}
mkdir -p "$out"
rm -f "$out"/gui-*.png

for tool in "$wine" Xvfb xdotool xwininfo import; do
  command -v "$tool" >/dev/null || { echo "gui test: $tool is missing" >&2; exit 1; }
done
if ! locale -a 2>/dev/null | grep -qiE '^zh_CN\.utf-?8$'; then
  if [ "$(id -u)" -eq 0 ] && [ -f /etc/locale.gen ]; then
    sed -i 's/^# *zh_CN.UTF-8/zh_CN.UTF-8/' /etc/locale.gen
    locale-gen >/dev/null
  else
    echo "gui test: the zh_CN.UTF-8 locale is missing" >&2
    exit 1
  fi
fi
unset LC_ALL
export LANG=zh_CN.UTF-8

# A display of our own.
n=90
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
app=
cleanup() {
  if [ -n "$app" ] && kill -0 "$app" 2>/dev/null; then kill "$app" 2>/dev/null || true; fi
  kill "$xvfb" 2>/dev/null || true
  wait 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY=":$n"

shot() { import -window root "$out/$1.png"; }
fail() {
  echo "FAIL: $*"
  shot gui-failure || true
  exit 1
}
# wait_for TENTHS COMMAND...: retries the command until it succeeds.
wait_for() {
  local tries=$1
  shift
  for ((i = 0; i < tries; i++)); do
    if "$@" >/dev/null 2>&1; then return 0; fi
    sleep 0.1
  done
  return 1
}
visible() { [ -n "$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)" ]; }
window() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1; }
# geometry ID: "X Y WIDTH HEIGHT"
geometry() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
    /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}'
}
control() { "$wine" "$probe" texts | tr -d '\r' | awk -v id="$1" '$1 == id {$1 = ""; $2 = ""; sub(/^  /, ""); print}'; }
# reads ID TEXT: whether the control shows the text now.
reads() { [ "$(control "$1")" = "$2" ]; }
# The hour, minute and second fields.
fields() { echo "$(control 1004) $(control 1005) $(control 1006)"; }
reads_fields() { [ "$(fields)" = "$1" ]; }
key_to() {
  xdotool windowfocus "$1" 2>/dev/null || true
  sleep 0.2
  shift
  xdotool key "$@"
}

wait_for 100 xdotool getdisplaygeometry || fail "the virtual display did not start"
read -r screen_w _ < <(xdotool getdisplaygeometry)

# Wine keeps a desktop process for a few seconds after its last program has
# ended. One left by a program without a display, or on another display,
# would take this program's windows: wait until this prefix has none.
desktop_gone() {
  local prefix=${WINEPREFIX:-$HOME/.wine} p
  for p in $(pgrep -f 'explorer\.exe' 2>/dev/null); do
    if tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$prefix"; then
      return 1
    fi
  done
  return 0
}
wait_for 300 desktop_gone || fail "a desktop process of another display stays"

# A first start: nothing stored.
"$wine" reg delete 'HKCU\Software\VMKT' /f >/dev/null 2>&1 || true

echo "-- start"
"$wine" "$exe" >"$out/gui-vmkt.log" 2>&1 &
app=$!
wait_for 600 visible '^Vemko闹钟$' || fail "the strip did not appear"
strip=$(window '^Vemko闹钟$')
sleep 1
shot gui-strip
read -r x y w h < <(geometry "$strip")
want="$((screen_w - 473)) 0 333 22"
[ "$x $y $w $h" = "$want" ] || fail "strip at $x $y size ${w}x$h, expected $want"
echo "strip: ${w}x$h at $x,$y"

echo "-- the start button's caption: orange, black while the pointer is over it"
# orange_pixels X Y W H: how many clearly orange pixels the screen shows there.
orange_pixels() {
  import -window root -crop "$3x$4+$1+$2" txt:- 2>/dev/null |
    awk -F'[(,)]' 'NR > 1 && $3 + 0 > 200 && $3 - $4 > 50 && $4 - $5 > 20 {n++} END {print n + 0}'
}
xdotool mousemove 500 400
sleep 0.5
[ "$(orange_pixels $((x + 250)) $((y + 2)) 32 18)" -gt 10 ] || fail "the caption of 开始 is not orange"
xdotool mousemove $((x + 266)) $((y + 11))
sleep 0.5
shot gui-hover
[ "$(orange_pixels $((x + 250)) $((y + 2)) 32 18)" -eq 0 ] || fail "the caption stays orange under the pointer"
xdotool mousemove 500 400
sleep 0.5
[ "$(orange_pixels $((x + 250)) $((y + 2)) 32 18)" -gt 10 ] || fail "the caption is not orange again"

echo "-- typing into the minute field"
# zero_field X ID: double-clicks the field at X in the strip, which sets it to
# "0". A loaded machine can pull the two clicks apart: then it tries again.
zero_field() {
  for _ in 1 2 3; do
    xdotool mousemove $((x + $1 + 10)) $((y + 11)) click --repeat 2 --delay 50 1
    wait_for 20 reads "$2" 0 && return 0
    sleep 0.5
  done
  return 1
}
minute=1005 # control identifiers of 时1, 分1, 秒1: 1004, 1005, 1006
zero_field 98 $minute || fail "double-click: 分1 reads '$(control $minute)'"
xdotool key End
xdotool type --delay 40 "a1-b2"
wait_for 30 reads $minute "01-2" || fail "typed a1-b2: 分1 reads '$(control $minute)'"
zero_field 98 $minute || fail "double-click: 分1 reads '$(control $minute)'"
xdotool key End
xdotool type "0"
wait_for 30 reads $minute 0 || fail "typed 0 after 0: 分1 reads '$(control $minute)'"

echo "-- tray icon"
wait_for 100 visible '^Wine System Tray$' || fail "no tray icon"
read -r tx ty _ _ < <(geometry "$(window '^Wine System Tray$')")
ix=$((tx + 10))
iy=$((ty + 10))
hidden() { ! visible '^Vemko闹钟$'; }
# tray_double_click CHECK: double-clicks the icon until the check holds.
tray_double_click() {
  for _ in 1 2 3; do
    xdotool mousemove $ix $iy click --repeat 2 --delay 50 1
    wait_for 30 "$@" && return 0
  done
  return 1
}
tray_double_click hidden || fail "a double-click on the tray icon did not hide the strip"
shot gui-hidden
tray_double_click visible '^Vemko闹钟$' || fail "a second double-click did not show the strip"
read -r x2 y2 _ _ < <(geometry "$(window '^Vemko闹钟$')")
[ "$x2 $y2" = "$x $y" ] || fail "the strip came back at $x2,$y2, not $x,$y"
# The shell announces a new notification area: the icon is still there and
# still answers.
"$wine" "$probe" taskbar
sleep 1
tray_double_click hidden || fail "after TaskbarCreated the tray icon does not answer"
tray_double_click visible '^Vemko闹钟$' || fail "after TaskbarCreated the strip does not come back"

echo "-- popup menu and about box"
# A popup menu is the window that opens at the pointer + 3 pixels.
open_menu() {
  local before
  before=$(xdotool search --onlyvisible --name '' 2>/dev/null | sort)
  xdotool mousemove $ix $iy click 3
  menu=
  tries=0
  while [ -z "$menu" ] && [ $tries -lt 50 ]; do
    tries=$((tries + 1))
    sleep 0.1
    for id in $(comm -13 <(echo "$before") <(xdotool search --onlyvisible --name '' 2>/dev/null | sort)); do
      read -r mx my _ _ < <(geometry "$id")
      if [ "$mx $my" = "$((ix + 3)) $((iy + 3))" ]; then menu=$id; fi
    done
  done
  [ -n "$menu" ]
}
open_menu || fail "no popup menu at the pointer + 3 pixels"
shot gui-menu
# From the top, upwards: 退出软件, then 关于.
key_to "$menu" Up Up Return
wait_for 50 visible '^关于Vemko$' || fail "the about box did not appear"
sleep 0.5
shot gui-about
about=$(window '^关于Vemko$')
key_to "$about" Return
if ! wait_for 30 bash -c "! xdotool search --onlyvisible --name '^关于Vemko$' | grep -q ."; then
  read -r ax ay aw ah < <(geometry "$about")
  xdotool mousemove $((ax + aw / 2)) $((ay + ah - 22)) click 1
  wait_for 30 bash -c "! xdotool search --onlyvisible --name '^关于Vemko$' | grep -q ." ||
    fail "the about box did not close"
fi

echo "-- ring-length input box"
open_menu || fail "no popup menu"
# 显示界面, 软件设置, into the submenu, up to its last item 设置闹铃时长.
key_to "$menu" Down Down Right
sleep 0.3
xdotool key Up Return
wait_for 50 visible '^输入时间：$' || fail "the ring-length box did not appear"
box=$(window '^输入时间：$')
# The initial text is selected: typing replaces it; letters are not taken.
key_to "$box" a 2 b 0 minus
sleep 0.3
shot gui-input
xdotool key Return
wait_for 30 reads 1012 "20-" || fail "ring length reads '$(control 1012)'"

echo "-- a one-second countdown fires with the balloon"
open_menu || fail "no popup menu"
# 软件设置, then its second item 气泡提醒.
key_to "$menu" Down Down Right
sleep 0.3
xdotool key Down Return
sleep 0.3
zero_field 98 1005 || fail "double-click: 分1 reads '$(control 1005)'"
zero_field 134 1006 || fail "double-click: 秒1 reads '$(control 1006)'"
xdotool key End
xdotool type "1"
wait_for 30 reads_fields "0 0 01" ||
  fail "fields read $(fields)"
xdotool mousemove $((x + 266)) $((y + 11)) click 1
wait_for 50 reads 1003 "注意：到时间了！" || fail "no alarm: '$(control 1003)'"
# The notification area shows a balloon a moment after it is asked for.
sleep 3
shot gui-fired
xdotool mousemove $((x + 266)) $((y + 11)) click 1
wait_for 30 reads 1003 "提示：闹钟已经停止！" || fail "not stopped: '$(control 1003)'"

echo "-- running: close request and end of session, answered No"
zero_field 98 1005 || fail "double-click: 分1 reads '$(control 1005)'"
xdotool type "5"
xdotool mousemove $((x + 266)) $((y + 11)) click 1
wait_for 30 reads 1009 停止 || fail "the start button reads '$(control 1009)'"
"$wine" "$probe" close
wait_for 50 visible '^重要提示：$' || fail "no confirmation for a close request while running"
shot gui-confirm
key_to "$(window '^重要提示：$')" n
wait_for 30 bash -c "! xdotool search --onlyvisible --name '^重要提示：$' | grep -q ." ||
  fail "the confirmation did not close"
sleep 0.5
kill -0 "$app" 2>/dev/null || fail "the program ended although the answer was No"
"$wine" "$probe" endsession >"$out/gui-endsession.txt" &
probe_pid=$!
wait_for 50 visible '^重要提示：$' || fail "no confirmation for the end of the session"
key_to "$(window '^重要提示：$')" n
wait "$probe_pid" || fail "the end-of-session probe failed"
[ "$(tr -d '\r' <"$out/gui-endsession.txt")" = refused ] ||
  fail "end of session while running: $(cat "$out/gui-endsession.txt")"
control 1003 | grep -q '^剩余：' || fail "the countdown is not shown: '$(control 1003)'"
shot gui-running
xdotool mousemove $((x + 266)) $((y + 11)) click 1
wait_for 30 reads 1009 开始 || fail "the stop did not take"

echo "-- dragging the strip by its background and by a label"
# drag FROM_X FROM_Y: presses there and moves the pointer 30 right, 20 down.
drag() {
  xdotool mousemove "$1" "$2" mousedown 1
  for i in 1 2 3 4 5; do
    sleep 0.15
    xdotool mousemove $(($1 + 6 * i)) $(($2 + 4 * i))
  done
  sleep 0.3
  xdotool mouseup 1
  sleep 0.5
}
for at in 49 56; do # between the mode box and the unit label; the unit label
  read -r x y _ _ < <(geometry "$strip")
  drag $((x + at)) $((y + 10))
  read -r nx ny _ _ < <(geometry "$strip")
  [ "$nx $ny" = "$((x + 30)) $((y + 20))" ] || fail "dragged from x $at: strip at $nx,$ny"
done
shot gui-dragged

echo "-- close request while idle"
"$wine" "$probe" close
code=0
for ((i = 0; i < 150; i++)); do
  kill -0 "$app" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$app" 2>/dev/null && fail "the program did not end after a close request while idle"
wait "$app" || code=$?
app=
[ "$code" -eq 0 ] || fail "exit code $code"
visible '^Vemko闹钟$' && fail "the strip is still there"
echo "exit code 0"
echo "gui test: passed"
