#!/bin/bash
# The desktop program end to end: a real strip window under Xvfb, a real
# notification area (trayer), mouse and keys from xdotool, screenshots from
# ImageMagick's import.
#
#   desktop.sh VMKT ARTIFACT_DIR
#
# Everything it needs it starts itself (Xvfb, trayer, a private PulseAudio
# server with a null sink when pulseaudio is installed) and ends again by
# process id. Settings go to a temporary directory; nothing of the user's is
# read or written. Screenshots are left in ARTIFACT_DIR.
set -u

VMKT=${1:?usage: desktop.sh VMKT ARTIFACT_DIR}
ART=${2:?usage: desktop.sh VMKT ARTIFACT_DIR}
mkdir -p "$ART"
rm -f "$ART"/*.png

# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"
need_tools Xvfb trayer xdotool xprop xwininfo xdpyinfo import convert compare

# ---- without a display ------------------------------------------------------

out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$VMKT" 2>&1)
rc=$?
says_no_display() {
    [ "$rc" = 1 ] && [ "$out" = "vmkt: no display found; run it on a desktop, or under xvfb-run" ]
}
check "without a display it says so and exits 1 (found $rc: $out)" says_no_display

# ---- the world -------------------------------------------------------------

use_temporary_world
start_xvfb
if command -v pulseaudio >/dev/null; then
    start_pulse
else
    export PULSE_SERVER=unix:$T/pulse/native
fi

# ---- start without a notification area -------------------------------------

if ! start_vmkt "$VMKT"; then
    echo "the strip never appeared"; cat "$T/vmkt.log"; exit 1
fi

geometry=$(xwininfo -id "$STRIP" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
                                      /Width/ {w=$NF} /Height/ {h=$NF} END {print x","y" "w"x"h}')
check "strip at 551,0 with 333x22 (found $geometry)" [ "$geometry" = "551,0 333x22" ]
state=$(xprop -id "$STRIP" _NET_WM_STATE)
check "strip has _NET_WM_STATE_SKIP_TASKBAR" grep -q _NET_WM_STATE_SKIP_TASKBAR <<<"$state"
check "strip has _NET_WM_STATE_SKIP_PAGER" grep -q _NET_WM_STATE_SKIP_PAGER <<<"$state"
check "strip stays above other windows" grep -q _NET_WM_STATE_ABOVE <<<"$state"

sleep 0.3
shot strip-idle 333x22+$X+0
shot screen-idle
colours=$(convert "$ART/strip-idle.png" -format %k info:)
check "strip drawn with text (colours: $colours)" [ "$colours" -ge 16 ]

# The pointer over a button turns its caption from orange to black, also
# while the program is not the active one; the tip shows after a rest.
orange_pixels() {
    import -display "$DISPLAY" -window root -crop "$1" -depth 8 txt:- 2>/dev/null |
        sed -n 's/.*srgb(\([0-9]*\),\([0-9]*\),\([0-9]*\)).*/\1 \2 \3/p' |
        awk '$1 > 200 && $2 > 80 && $2 < 200 && $3 < 120 { n++ } END { print n + 0 }'
}
BUTTON=30x16+$((X + 251))+3
at 300 300
no_orange() { [ "$(orange_pixels "$BUTTON")" -eq 0 ]; }
check "the start caption is orange" [ "$(orange_pixels "$BUTTON")" -gt 5 ]
before=$(windows)
at $((X + 266)) 11
check "with the pointer over it, black" wait_for 6 no_orange
TIP=
find_tip() { TIP=$(new_window "$before"); [ -n "$TIP" ]; }
if wait_for 8 find_tip; then
    pass "the button's tip shows while the pointer rests on it"
    shot tooltip
else
    fail "the button's tip shows while the pointer rests on it"
fi
at 300 300
check "the pointer gone, orange again" wait_for 6 eval '[ "$(orange_pixels "$BUTTON")" -gt 5 ]'

# Without a notification area a right click on the strip opens the menu.
before=$(windows)
at $((X + 60)) 11 && xdotool click 3
MENU=
check "right click on the strip opens the menu while there is no tray" wait_for 10 find_menu
xdotool key Escape
[ -n "$MENU" ] && wait_for 10 gone "$MENU"

# ---- the notification area comes --------------------------------------------

trayer --edge bottom --align right --widthtype request --height 32 --SetDockType true \
    >"$T/trayer.log" 2>&1 &
PIDS+=("$!")
ICON=
find_icon() {
    local w
    for w in $(windows); do
        [ "$w" = "$STRIP" ] && continue
        # The icon sits in trayer's bar at the bottom of the screen.
        local y
        y=$(xwininfo -id "$w" | awk '/Absolute upper-left Y/ {print $NF}')
        [ "${y:-0}" -gt 700 ] && { ICON=$w; return 0; }
    done
    return 1
}
if wait_for 10 find_icon; then
    pass "the tray icon appears once a notification area does"
else
    fail "the tray icon appears once a notification area does"
    cat "$T/vmkt.log" "$T/trayer.log"
    exit 1
fi
read -r IX IY < <(xwininfo -id "$ICON" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
                                             /Width/ {w=$NF} /Height/ {h=$NF} END {print x + int(w/2), y + int(h/2)}')
sleep 0.3
shot screen-tray

# ---- tray double-clicks hide and show the strip -----------------------------

# Double-clicks the tray icon until COMMAND holds, at most three times, and
# reports DESCRIPTION with the number of double-clicks. On a busy machine a
# double-click can arrive as two single clicks, which change nothing; so each
# one starts well past the double-click interval of the clicks before it.
check_tray_toggle() { # check_tray_toggle DESCRIPTION COMMAND...
    local what=$1 try
    shift
    for try in 1 2 3; do
        sleep 0.5
        at "$IX" "$IY" && xdotool click --repeat 2 --delay 60 1
        if wait_for 4 "$@"; then
            pass "$what (double-clicked $try times)"
            return 0
        fi
    done
    fail "$what"
}
check_tray_toggle "double-click on the tray icon hides the strip" gone "$STRIP"
check_tray_toggle "double-click again shows it" mapped "$STRIP"
geometry=$(xwininfo -id "$STRIP" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} END {print x","y}')
check "shown again at the same place (found $geometry)" [ "$geometry" = "551,0" ]
check "still out of the taskbar after showing again" \
    grep -q _NET_WM_STATE_SKIP_TASKBAR <<<"$(xprop -id "$STRIP" _NET_WM_STATE)"

# ---- the popup menu and the about box ---------------------------------------

tray_menu() { at "$IX" "$IY" && xdotool click 3; }
ABOUT=
find_about() { ABOUT=$(xdotool search --onlyvisible --name 'Vemko$' 2>/dev/null | head -1); [ -n "$ABOUT" ]; }
# A right click that a busy machine lost opens nothing: it is given again,
# three times at most.
if menu_until find_menu tray_menu; then
    pass "right click on the tray icon opens the menu (menu opened $MENU_TRIES times)"
else
    fail "right click on the tray icon opens the menu"
fi
sleep 0.3
shot menu-open
xdotool key Escape
wait_for 5 gone "$MENU"
# From the end of the menu: 退出软件, then 关于.
if menu_until find_about tray_menu Up Up Return; then
    pass "关于 opens the about box (menu opened $MENU_TRIES times)"
    sleep 0.3
    shot about-box
    xdotool windowfocus --sync "$ABOUT" key Return
    check "the about box closes with Enter" wait_for 10 gone "$ABOUT"
else
    fail "关于 opens the about box"
fi

# ---- the ring length through the input box ----------------------------------

INPUT=
find_input() { INPUT=$(xdotool search --onlyvisible --name '^输入时间' 2>/dev/null | head -1); [ -n "$INPUT" ]; }
# 软件设置, into its submenu, up to its last item 设置闹铃时长.
if menu_until find_input tray_menu Down Down Right Up Return; then
    pass "设置闹铃时长 opens the input box (menu opened $MENU_TRIES times)"
    # Typing replaces the selected "180"; the letter is not taken.
    xdotool windowfocus --sync "$INPUT" type --delay 40 "a2"
    sleep 0.3
    shot input-box
    xdotool key Return
    check "the input box closes with Enter" wait_for 10 gone "$INPUT"
    check "the ring length 2 is stored" grep -q '=2$' "$XDG_CONFIG_HOME/VMKT/VMKT.ini"
else
    fail "设置闹铃时长 opens the input box"
fi

# ---- a countdown falls due and the strip flashes ----------------------------

set_fields 0 0 2
sleep 0.2
shot strip-set 333x22+$X+0
before=$(windows)
at $((X + 266)) 11 && xdotool click 1
# A ring length of 3 seconds or less is asked about first.
QUESTION=
if wait_for 10 find_question; then
    pass "a ring length of 2 s asks before the start"
    sleep 0.3
    shot short-ring-question
    xdotool windowfocus --sync "$QUESTION" key y
    check "是 closes the question" wait_for 10 gone "$QUESTION"
else
    fail "a ring length of 2 s asks before the start"
fi
sleep 0.3
shot strip-running 333x22+$X+0
check "the strip changes when the countdown starts" \
    [ "$(compare -metric AE "$ART/strip-set.png" "$ART/strip-running.png" null: 2>&1)" != 0 ]
# The status label flashes between black and red once the countdown is due.
if wait_for 8 flashing; then
    shot strip-ringing 333x22+$X+0
    shot screen-ringing
fi
if flashing || wait_for 1 flashing && wait_for 6 black && wait_for 6 flashing; then
    pass "the countdown of 0 0 2 falls due and the strip flashes red and black"
else
    fail "the countdown of 0 0 2 falls due and the strip flashes red and black"
fi

# ---- "×" while running asks; "否" keeps it running ---------------------------

before=$(windows)
at $((X + 319)) 12 && xdotool click 1
QUESTION=
if wait_for 10 find_question; then
    pass "× while running asks first"
    sleep 0.3
    shot close-question
    xdotool windowfocus --sync "$QUESTION" key n
    check "否 closes the question" wait_for 10 gone "$QUESTION"
    sleep 0.5
    check "否 keeps the program running" kill -0 "$VPID"
    check "否 keeps the strip shown" mapped "$STRIP"
    check "the alarm keeps flashing after 否" wait_for 10 flashing
else
    fail "× while running asks first"
fi

# ---- stop, then × ends the program with exit code 0 -------------------------

at $((X + 266)) 11 && xdotool click 1
sleep 0.3
check "停止 stops the flashing" stays_black
shot strip-stopped 333x22+$X+0

# ---- dragged by a label, the strip stays where it was put -------------------

at $((X + 90)) 11
xdotool mousedown 1 sleep 0.2 mousemove $((X + 40)) 60 sleep 0.2 \
    mousemove $((X - 110)) 111 sleep 0.2 mouseup 1
place() { xwininfo -id "$STRIP" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} END {print x","y}'; }
at_351_100() { [ "$(place)" = "351,100" ]; }
wait_for 6 at_351_100
check "dragging the label moves the strip (found $(place))" at_351_100
check_tray_toggle "double-click hides the moved strip" gone "$STRIP"
check_tray_toggle "double-click shows it again" mapped "$STRIP"
check "hidden and shown again, it keeps the new place (found $(place))" at_351_100
X=351
at $((X + 319)) 112 && xdotool click 1
if wait_exit 5; then
    check "× while idle ends the program with exit code 0 (found $RC)" [ "$RC" = 0 ]
    check "the tray icon is gone" wait_for 6 gone "$ICON"
else
    fail "× while idle ends the program"
fi
check "the settings went to the temporary configuration directory" \
    [ -s "$XDG_CONFIG_HOME/VMKT/VMKT.ini" ]

if [ "$FAILED" -ne 0 ]; then
    echo "--- program output"
    cat "$T/vmkt.log"
fi
echo "screenshots in $ART"
echo "$PASSED passed, $FAILED failed"
[ "$FAILED" -eq 0 ]
