#!/bin/bash
# The desktop program when its surroundings fail: no sound server, a sound
# server that dies mid-ring and comes back, no notification area, no D-Bus
# for power off and suspend or one that does not answer, no DPMS for the
# display, an unwritable or corrupt settings file and an unwritable autostart
# folder. In every case a short countdown still falls due and the strip
# flashes, the settings are not lost, and the program exits with code 0 when
# closed.
#
#   faults.sh VMKT ARTIFACT_DIR
#
# FAULTS=REGEX runs only the cases whose names match (some compare the strip
# with what the first two cases showed).
#
# Like desktop.sh it starts what it needs itself (Xvfb, trayer, a private
# PulseAudio server with a null sink) and works in a temporary directory.
set -u

VMKT=${1:?usage: faults.sh VMKT ARTIFACT_DIR}
ART=${2:?usage: faults.sh VMKT ARTIFACT_DIR}
mkdir -p "$ART"
rm -f "$ART"/*.png

# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"
need_tools Xvfb trayer xdotool xwininfo xdpyinfo import compare pulseaudio pactl parec od dbus-daemon

use_temporary_world
start_xvfb
start_pulse || { echo "PulseAudio did not start"; cat "$T/pulse.log"; exit 1; }
SERVER=$PULSE_SERVER

# ---- helpers ------------------------------------------------------------------

# A fresh settings folder and autostart folder for one case.
new_world() {
    CASE=$1
    export XDG_CONFIG_HOME=$T/$CASE/config XDG_CONFIG_DIRS=$T/$CASE/xdg
    mkdir -p "$XDG_CONFIG_HOME" "$XDG_CONFIG_DIRS"
    INI=$XDG_CONFIG_HOME/VMKT/VMKT.ini
    export PULSE_SERVER=$SERVER
    echo "== $CASE"
}
# Stored settings in the form the program writes them: ring length, mode and
# action (the index of the action list).
write_settings() { # write_settings RING MODE ACTION
    mkdir -p "$(dirname "$INI")"
    printf '[Software]\nVMKT\\%s=%s\nVMKT\\%s=%s\nVMKT\\%s=%s\n' \
        '%U95F9%U94C3%U65F6%U957F' "$1" '%U9ED8%U8BA4%U529F%U80FD' "$2" \
        '%U9ED8%U8BA4%U4E8B%U4EF6' "$3" >"$INI"
    cp "$INI" "$T/$CASE/stored.ini"
}
# Every stored value is still there (the start writes the mode again).
settings_kept() { ! grep -vxFf "$INI" "$T/$CASE/stored.ini" >/dev/null; }
file_untouched() { cmp -s "$INI" "$T/$CASE/stored.ini"; }
# The two drop-down lists of the strip (mode and action): they show what the
# settings hold.
COMBOS=(47x20+$((X + 1))+1 59x20+$((X + 184))+1)
combos_shot() { # combos_shot NAME: both lists, side by side, into T
    at 300 300
    sleep 0.3
    import -display "$DISPLAY" -window root -crop "${COMBOS[0]}" "$T/$1-mode.png" 2>/dev/null
    import -display "$DISPLAY" -window root -crop "${COMBOS[1]}" "$T/$1-action.png" 2>/dev/null
    cp "$T/$1-mode.png" "$T/$1-action.png" "$ART/"
}
same_png() { [ "$(compare -metric AE "$1" "$2" null: 2>&1)" = 0 ]; }
combos_as() { same_png "$T/$1-mode.png" "$T/$2-mode.png" && same_png "$T/$1-action.png" "$T/$2-action.png"; }
# A countdown of 2 s, started with the start button.
countdown() {
    set_fields 0 0 2
    click_start
    at 300 300
}
falls_due() { check "$CASE: the countdown falls due and the strip flashes red and black" flashes 8; }
stop_alarm() {
    click_start
    at 300 300
    check "$CASE: 停止 answers and the flashing stops" wait_for 5 stays_black
}
closes() { # closes: × while idle ends the program with exit code 0
    click_close
    if wait_exit 10; then
        check "$CASE: × ends the program with exit code 0 (found $RC)" [ "$RC" = 0 ]
    else
        fail "$CASE: × ends the program"
        kill "$VPID"
    fi
}
begin() { # begin [COMMAND...]: starts the program (by default vmkt itself)
    [ $# -gt 0 ] || set -- "$VMKT"
    if ! start_vmkt "$@"; then
        fail "$CASE: the strip appears"
        cat "$T/vmkt.log"
        exit 1
    fi
}
# Opens the strip's popup menu (there is no notification area) and presses
# the keys, once the menu has taken the keyboard.
strip_menu() {
    before=$(windows)
    at $((X + 60)) 11 && xdotool click 3
    MENU=
    wait_for 10 find_menu || return 1
    sleep 0.5
    xdotool key --delay 100 "$@"
}
# 软件设置 > 气泡提醒: a write of the settings.
toggle_balloon() { strip_menu Down Down Right Down Return; }
# The loudest sample of a raw recording (signed 16-bit).
loudest() {
    od -An -v -t d2 -w2 "$1" | awk '{ a = $1 < 0 ? -$1 : $1; if (a > m) m = a } END { print m + 0 }'
}
record() { # record FILE: the null sink's monitor, until stop_recording
    parec -d t.monitor --raw --format=s16le --channels=1 --rate=22050 >"$1" 2>/dev/null &
    REC=$!
    PIDS+=("$REC")
}
stop_recording() {
    kill "$REC" 2>/dev/null
    wait "$REC" 2>/dev/null
}
# A countdown falls due and its ring is stopped; the program then closes, and
# the settings it started with are still stored.
rings_closes_and_keeps_settings() {
    countdown
    falls_due
    stop_alarm
    closes
    check "$CASE: the settings are kept" settings_kept
}
# Runs case NAME (the function case_NAME, with - as _) in a fresh world,
# when FAULTS matches its name (all cases by default); the program's output
# follows a failed case.
run_case() { # run_case NAME
    local name=$1 failed=$FAILED start=$SECONDS
    [[ "$name" =~ ${FAULTS:-.} ]] || return 0
    new_world "$name"
    "case_${name//-/_}"
    echo "   ($((SECONDS - start)) s)"
    [ "$FAILED" = "$failed" ] || { echo "--- program output"; cat "$T/vmkt.log"; }
    : >"$T/vmkt.log"
}

# ==== without a notification area =============================================

# ---- no sound server at all ---------------------------------------------------

case_no_sound_server() {
    export PULSE_SERVER=unix:$T/no-server/native
    # The default mode and action: the lists show what a first start shows.
    write_settings 4 0 0
    begin
    combos_shot defaults
    rings_closes_and_keeps_settings
}
run_case no-sound-server

# ---- no notification area: the strip's menu reaches 退出软件 --------------------

case_no_tray() {
    write_settings 4 0 1
    begin
    combos_shot stored
    check "$CASE: the stored mode and action are shown" eval '! combos_as stored defaults'
    countdown
    falls_due
    # While it rings: 退出软件 (the last item), then 是 to the question.
    if strip_menu Up Return; then
        pass "$CASE: right click on the strip opens the menu"
        if wait_for 10 find_question; then
            xdotool windowfocus --sync "$QUESTION" key y
        fi
        if wait_exit 10; then
            check "$CASE: 退出软件 ends the program with exit code 0 (found $RC)" [ "$RC" = 0 ]
        else
            fail "$CASE: 退出软件 ends the program"
        fi
    else
        fail "$CASE: right click on the strip opens the menu"
    fi
    check "$CASE: the settings are kept" settings_kept
}
run_case no-tray

# Starts the program on settings it cannot use: it shows the defaults, rings
# a countdown through, and then changes a setting, which writes the file.
defaults_ring_and_write() {
    begin
    combos_shot "$CASE"
    check "$CASE: starts with the defaults" combos_as "$CASE" defaults
    countdown
    falls_due
    stop_alarm
    toggle_balloon
}

# ---- the settings folder cannot be made ---------------------------------------
# Root writes into any folder whatever its mode, so the settings path is put
# below a regular file: no folder can be made there, by anyone.

case_config_under_file() {
    echo "not a folder" >"$T/$CASE/blocker"
    export XDG_CONFIG_HOME=$T/$CASE/blocker/config
    defaults_ring_and_write
    sleep 0.5
    check "$CASE: still running after a failed write" kill -0 "$VPID"
    closes
    check "$CASE: the file in the way is untouched" [ "$(cat "$T/$CASE/blocker")" = "not a folder" ]
}
run_case config-under-file

# ---- a read-only settings folder holding good settings -------------------------
# A read-only bind mount stops root too. It is made in a mount namespace of
# the program's own (unshare), so it goes when the program does; where mounts
# are not allowed the case is skipped.

case_config_read_only() {
    write_settings 4 0 1
    local read_only="mount --bind '$XDG_CONFIG_HOME' '$XDG_CONFIG_HOME' &&
        mount -o remount,bind,ro '$XDG_CONFIG_HOME' '$XDG_CONFIG_HOME'"
    if unshare -m --propagation private sh -c "$read_only" 2>/dev/null; then
        begin unshare -m --propagation private sh -c "$read_only && exec '$VMKT'"
        combos_shot "$CASE"
        check "$CASE: the stored mode and action are read" combos_as "$CASE" stored
        countdown
        falls_due
        # The stored ring length of 4 s ends the sound while the strip flashes.
        check "$CASE: the alarm sounds" wait_for 3 eval '[ "$(sink_inputs)" -ge 1 ]'
        check "$CASE: the stored ring length ends the sound" wait_for 8 eval '[ "$(sink_inputs)" = 0 ]'
        check "$CASE: the strip flashes on after the ring" flashes 2
        stop_alarm
        toggle_balloon
        sleep 0.5
        closes
        check "$CASE: the settings file is untouched" file_untouched
    else
        echo "skipped: no read-only bind mount here"
    fi
}
run_case config-read-only

# ---- a corrupt settings file ------------------------------------------------------

case_config_corrupt() {
    mkdir -p "$(dirname "$INI")"
    head -c 4096 /dev/urandom >"$INI"
    defaults_ring_and_write
    good_file() { grep -q '^\[Software\]' "$INI" && grep -q '%U6C14%U7403%U63D0%U793A=1' "$INI"; }
    check "$CASE: the next write replaces the file with a good one" wait_for 5 good_file
    check "$CASE: the new file is text" eval '! grep -qaP "\x00" "$INI"'
    closes
}
run_case config-corrupt

# ---- the autostart folder cannot be made -----------------------------------------

case_autostart_blocked() {
    echo "not a folder" >"$T/$CASE/blocker"
    export XDG_CONFIG_DIRS=$T/$CASE/blocker/xdg
    # The submenu 软件设置 with its first item, 随系统启动, highlighted.
    submenu_shot() { # submenu_shot NAME
        local main
        strip_menu Down Down || return 1
        main=$MENU
        before=$(windows)
        xdotool key Right
        wait_for 10 find_menu || return 1
        sleep 0.3
        import -display "$DISPLAY" -window "$MENU" "$T/$1.png" 2>/dev/null
        xdotool key Escape Escape
        wait_for 5 gone "$main"
    }
    begin
    submenu_shot autostart-before
    strip_menu Down Down Right Return # 随系统启动
    sleep 0.5
    submenu_shot autostart-chosen
    cp "$T/autostart-before.png" "$T/autostart-chosen.png" "$ART/" 2>/dev/null
    check "$CASE: 随系统启动 shows the tick" eval '! same_png "$T/autostart-before.png" "$T/autostart-chosen.png"'
    countdown
    falls_due
    stop_alarm
    closes
    check "$CASE: nothing was stored" [ "$(cat "$T/$CASE/blocker")" = "not a folder" ]
    check "$CASE: and nothing elsewhere" [ -z "$(find "$T" -name vmkt.desktop)" ]
    begin
    submenu_shot autostart-again
    check "$CASE: the next start shows it unchecked" same_png "$T/autostart-before.png" "$T/autostart-again.png"
    closes
}
run_case autostart-blocked

# ==== with a notification area ===================================================

start_trayer
tray_host() { xwininfo -root -tree 2>/dev/null | grep -q '"panel": ("panel" "trayer")'; }
wait_for 10 tray_host || { echo "trayer did not start"; cat "$T/trayer.log"; exit 1; }

# ---- the sound server dies mid-ring and comes back -------------------------------

case_sound_server_restart() {
    write_settings 4 0 0
    begin
    set_fields 0 0 2
    record "$T/ring1.raw"
    click_start
    at 300 300
    falls_due
    sleep 1
    stop_recording
    check "$CASE: the first ring is heard (loudest $(loudest "$T/ring1.raw"))" \
        [ "$(loudest "$T/ring1.raw")" -gt 1000 ]
    kill_pulse
    check "$CASE: the strip flashes on after the server died" flashes 3
    start_pulse || fail "$CASE: the server starts again"
    stop_alarm
    record "$T/ring2.raw"
    click_start
    at 300 300
    check "$CASE: the second countdown falls due and the strip flashes" flashes 8
    sleep 1
    stop_recording
    check "$CASE: the second ring is heard (loudest $(loudest "$T/ring2.raw"))" \
        [ "$(loudest "$T/ring2.raw")" -gt 1000 ]
    stop_alarm
    closes
    check "$CASE: the settings are kept" settings_kept
}
run_case sound-server-restart

# ---- no D-Bus: power off and suspend ---------------------------------------------

no_dbus() { # the action's index in the list
    write_settings 180 0 "$1"
    begin
    rings_closes_and_keeps_settings
}
case_no_dbus_power_off() { no_dbus 4; }
case_no_dbus_suspend() { no_dbus 5; }
run_case no-dbus-power-off
run_case no-dbus-suspend

# ---- a system bus that takes connections but never answers ---------------------
# A stopped dbus-daemon: connecting to it would wait for ever.

case_frozen_bus() {
    write_settings 180 0 4
    dbus-daemon --session --fork --nopidfile --address="unix:path=$T/frozen-bus.socket" --print-pid=1 \
        >"$T/bus.pid" 2>"$T/bus.log"
    BUS_PID=$(cat "$T/bus.pid")
    PIDS+=("$BUS_PID")
    kill -STOP "$BUS_PID"
    export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$T/frozen-bus.socket
    begin
    rings_closes_and_keeps_settings
    export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$T/no-system-bus
    kill -CONT "$BUS_PID"
    kill "$BUS_PID"
}
run_case frozen-bus

# ---- no DPMS: the display off ------------------------------------------------------

case_no_dpms() {
    check "$CASE: the display has no DPMS" eval '! xdpyinfo -queryExtensions | grep -q DPMS'
    write_settings 180 0 6
    begin
    label_shot() { import -display "$DISPLAY" -window root -crop "$LABEL" "$T/label-$1.png" 2>/dev/null; }
    label_is() { label_shot now && same_png "$T/label-$1.png" "$T/label-now.png"; }
    at 300 300
    label_shot set
    countdown
    # 关屏 stops the flashing: the status shows the alarm in black and the
    # button reads 开始 again.
    sleep 3.5
    label_shot due
    check "$CASE: the alarm falls due and the status is shown" eval '! label_is set'
    check "$CASE: the status stays black" stays_black
    cp "$T/label-due.png" "$ART/$CASE-label.png"
    # The button answers: a second countdown runs and falls due as well.
    click_start
    at 300 300
    check "$CASE: the button starts the next countdown" wait_for 3 eval '! label_is due'
    check "$CASE: the next countdown falls due" wait_for 8 label_is due
    closes
    check "$CASE: the settings are kept" settings_kept
}
run_case no-dpms

echo "$PASSED passed, $FAILED failed"
[ "$FAILED" -eq 0 ]
