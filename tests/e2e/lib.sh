# Shared by the scripts that drive the real desktop program: a temporary world
# (directories, Xvfb, trayer, a private PulseAudio server with a null sink),
# pointer and key helpers on top of xdotool, and reading the strip's pixels.
# Sourced, not run. Everything started is recorded in PIDS and ended again by
# process id when the script exits.

# Fails unless every named tool is on PATH.
need_tools() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null ||
            { echo "missing $tool (packages: xvfb trayer xdotool x11-utils imagemagick pulseaudio pulseaudio-utils)"; exit 1; }
    done
}

# A temporary directory T, removed at exit with every process in PIDS ended.
T=$(mktemp -d -t vmkt-e2e.XXXXXX)
PIDS=()
cleanup() {
    local pid
    # A stopped one ends only once it goes on.
    for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null && kill -CONT "$pid" 2>/dev/null; done
    for pid in "${PIDS[@]}"; do wait "$pid" 2>/dev/null; done
    # A directory that a test made unwritable is made writable again first.
    chmod -R u+w "$T" 2>/dev/null
    rm -rf "$T"
}
trap cleanup EXIT
trap 'exit 1' TERM INT

FAILED=0
PASSED=0
pass() { echo "ok: $*"; PASSED=$((PASSED + 1)); }
fail() { echo "FAILED: $*"; FAILED=$((FAILED + 1)); }
check() { # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then pass "$what"; else fail "$what"; fi
}
# Polls a command every 0.1 s until it succeeds or the seconds run out.
wait_for() {
    local tenths=$(($1 * 10))
    shift
    while ((tenths-- > 0)); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

# Settings, autostart and runtime files in T; no bus, so the tray icon takes
# the X11 notification area and nothing reaches the machine's power
# management.
use_temporary_world() {
    export XDG_CONFIG_HOME=$T/config XDG_CONFIG_DIRS=$T/xdg XDG_RUNTIME_DIR=$T/run HOME=$T/home
    mkdir -p "$XDG_CONFIG_HOME" "$XDG_CONFIG_DIRS" "$HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"
    export DBUS_SESSION_BUS_ADDRESS=unix:path=$T/no-session-bus
    export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$T/no-system-bus
    unset WAYLAND_DISPLAY QT_QPA_PLATFORM SESSION_MANAGER
}

# Xvfb on the first free display from :91 on; exports DISPLAY.
start_xvfb() {
    local n pid
    for n in $(seq 91 199); do
        [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ] && continue
        Xvfb :$n -screen 0 1024x768x24 -nolisten tcp -noreset >"$T/xvfb.log" 2>&1 &
        pid=$!
        if wait_for 5 xdpyinfo -display :$n >/dev/null 2>&1; then
            PIDS+=("$pid")
            export DISPLAY=:$n
            return 0
        fi
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    echo "could not start Xvfb"
    exit 1
}

# A private PulseAudio server with the null sink "t", listening on
# T/pulse/native; exports PULSE_SERVER. Started again, it takes the same
# socket. PULSE_PID is the server's process id. Gives 1 when the server does
# not answer.
start_pulse() {
    mkdir -p "$T/pulse"
    rm -f "$T/pulse/native"
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --disable-shm=yes \
        --load="module-null-sink sink_name=t norewinds=1" \
        --load="module-native-protocol-unix auth-anonymous=1 socket=$T/pulse/native" \
        >>"$T/pulse.log" 2>&1 &
    PULSE_PID=$!
    PIDS+=("$PULSE_PID")
    export PULSE_SERVER=unix:$T/pulse/native
    wait_for 10 pactl info >/dev/null 2>&1
}
# Ends the server started last and waits until it is gone.
kill_pulse() {
    kill -KILL "$PULSE_PID" 2>/dev/null
    wait "$PULSE_PID" 2>/dev/null
}
# How many streams play into the server now.
sink_inputs() { pactl list short sink-inputs 2>/dev/null | wc -l; }

start_trayer() {
    trayer --edge bottom --align right --widthtype request --height 32 --SetDockType true \
        >"$T/trayer.log" 2>&1 &
    PIDS+=("$!")
}

shot() { # shot NAME [GEOMETRY]: a screenshot into ART, the whole screen or a part
    [ -n "${ART:-}" ] || return 0
    import -display "$DISPLAY" -window root ${2:+-crop "$2"} "$ART/$1.png" 2>/dev/null
}
# Without an id xwininfo would wait for a window to be picked by a click,
# holding the pointer (and every click of the test) until then.
mapped() { [ -n "$1" ] && xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }
gone() { ! mapped "$1"; } # unmapped or destroyed
# Moves the pointer and waits until it is there (xdotool's own --sync waits
# for a motion that never comes when the pointer is there already).
at() {
    xdotool mousemove "$1" "$2"
    local here="x:$1 y:$2 "
    wait_for 6 eval '[[ "$(xdotool getmouselocation)" == "$here"* ]]'
}
windows() { xdotool search --onlyvisible --class vmkt 2>/dev/null | sort; }
# The first visible window of the program that is not in the given list.
new_window() { comm -13 <(printf '%s\n' $1 | sort) <(windows) | head -1; }
# How many pixels of a part of the screen are clearly red (text in red is
# blended with the grey face at its edges).
red_pixels() {
    import -display "$DISPLAY" -window root -crop "$1" -depth 8 txt:- 2>/dev/null |
        sed -n 's/.*srgb(\([0-9]*\),\([0-9]*\),\([0-9]*\)).*/\1 \2 \3/p' |
        awk '$1 - $2 > 60 && $1 - $3 > 60 { n++ } END { print n + 0 }'
}

# ---- the strip --------------------------------------------------------------

X=551 # the strip's left edge on a 1024-pixel screen
STRIP=
find_strip() { STRIP=$(xdotool search --onlyvisible --name '^Vemko' 2>/dev/null | head -1); [ -n "$STRIP" ]; }
# The status label, which flashes between black and red once an alarm is due.
LABEL=126x18+$((X + 53))+2
flashing() { [ "$(red_pixels "$LABEL")" -gt 10 ]; }
black() { [ "$(red_pixels "$LABEL")" -eq 0 ]; }
# Red in some sample and black in a later one, then red again.
flashes() { wait_for "${1:-8}" flashing && wait_for 6 black && wait_for 6 flashing; }
# Red in no sample over about a second: the 250 ms flashing would show it.
stays_black() {
    local i
    for i in 1 2 3 4 5 6 7 8; do
        black || return 1
        sleep 0.12
    done
}
field() { # field X TEXT: replaces the text of the field at X in the strip
    at $((X + $1)) 11 && xdotool click 1
    xdotool key ctrl+a
    xdotool type --delay 40 "$2"
}
# Sets hour, minute and second of the strip's fields.
set_fields() {
    field 72 "$1"
    field 108 "$2"
    field 144 "$3"
}
click_start() { at $((X + 266)) 11 && xdotool click 1; }
click_close() { at $((X + 319)) 12 && xdotool click 1; }
# Starts the program (arguments: the program and its own), waits for the
# strip; VPID is its process id. Gives 1 when no strip appears.
start_vmkt() {
    "$@" >>"$T/vmkt.log" 2>&1 &
    VPID=$!
    PIDS+=("$VPID")
    wait_for "${STRIP_WAIT:-10}" find_strip
}
exited() { ! kill -0 "$VPID" 2>/dev/null; }
# Waits for the program to end; its exit code in RC, or 1 when it still runs.
wait_exit() {
    wait_for "${1:-5}" exited || return 1
    wait "$VPID"
    RC=$?
}
# A box or menu of the program that was not open before: set `before` with
# $(windows) first.
QUESTION=
find_question() { QUESTION=$(new_window "$before"); [ -n "$QUESTION" ]; }
MENU=
find_menu() { MENU=$(new_window "$before"); [ -n "$MENU" ]; }
# Opens a popup menu with the command OPEN (a right click), presses KEYS once
# the menu has taken the keyboard and waits for the command DONE to succeed.
# On a busy machine a menu can show before it holds the keyboard and miss the
# keys, and a right click can be lost; the menu is then closed and opened
# again, three times at most. Without KEYS it only waits for DONE.
MENU_TRIES=0
menu_until() { # menu_until DONE OPEN KEYS...
    local done=$1 open=$2 try
    shift 2
    for try in 1 2 3; do
        MENU_TRIES=$try
        before=$(windows)
        $open || return 1
        MENU=
        wait_for 10 find_menu || continue
        sleep "0.$((try * 3))"
        (($# == 0)) || xdotool key --delay 100 "$@"
        wait_for 5 "$done" && return 0
        local left=5
        while [ -n "$(new_window "$before")" ] && ((left-- > 0)); do
            xdotool key Escape
            sleep 0.3
        done
    done
    return 1
}
