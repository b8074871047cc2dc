#!/bin/bash
# A soak of the real desktop program: vmkt under Xvfb with a tray host and a
# private PulseAudio server with a null sink, an alarm falling due once a
# minute with a short ring, and the program's resources sampled every minute.
#
#   scripts/soak.sh [MINUTES]              # default 60
#   scripts/soak.sh --valgrind [MINUTES]   # under valgrind's memcheck, default 10
#   VMKT=build-asan/vmkt scripts/soak.sh 10  # a -DVMKT_SANITIZE=ON build: LeakSanitizer
#
# Each minute the script stops the alarm of the minute before, starts a
# countdown of 10 seconds (ring length 5 s), checks that it falls due (the
# strip flashes red) and that its sound reaches the server, and at second 50,
# long after the ring, samples the program's resident memory, its threads,
# its open file descriptors and the server's playback streams. It fails when
# a minute did not ring, or when any sample after the warm-up grew beyond a
# small tolerance over the highest sample of the warm-up. The program is then
# closed and must exit with code 0; under valgrind the definite leaks are
# reported, and any in the program's own code fail the soak; a sanitizer
# build's LeakSanitizer report fails it too.
#
# Environment: VMKT (the program, default build/vmkt), SOAK_DIR (where the
# table and logs go, default build/soak), SOAK_WARMUP (minutes, default a
# sixth of the span, at least 2, at most 10), SOAK_RSS_KB (default 2048),
# SOAK_THREADS (default 1), SOAK_FDS (default 2): the tolerances.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)

MODE=plain
if [ "${1:-}" = --valgrind ]; then
    MODE=valgrind
    shift
fi
MINUTES=${1:-$([ "$MODE" = valgrind ] && echo 10 || echo 60)}
VMKT=${VMKT:-$root/build/vmkt}
OUT=${SOAK_DIR:-$root/build/soak}
WARMUP=${SOAK_WARMUP:-$((MINUTES / 6 < 2 ? 2 : MINUTES / 6 > 10 ? 10 : MINUTES / 6))}
RSS_TOL=${SOAK_RSS_KB:-2048}
THREADS_TOL=${SOAK_THREADS:-1}
FDS_TOL=${SOAK_FDS:-2}
[ -x "$VMKT" ] || { echo "no program at $VMKT (build it: cmake --build build --target vmkt)"; exit 1; }
# Valgrind and AddressSanitizer keep freed memory aside for a while: their
# resident memory grows by design, so it is reported but not judged.
if [ "$MODE" = plain ] && ldd "$VMKT" 2>/dev/null | grep -q libasan; then
    MODE=sanitizer
fi
[ "$MINUTES" -gt "$WARMUP" ] || { echo "the soak must be longer than its warm-up of $WARMUP minutes"; exit 1; }

# shellcheck source=../tests/e2e/lib.sh
source "$root/tests/e2e/lib.sh"
need_tools Xvfb trayer xdotool xwininfo xdpyinfo import pulseaudio pactl
[ "$MODE" = valgrind ] && need_tools valgrind
mkdir -p "$OUT"
rm -f "$OUT"/soak.tsv "$OUT"/vmkt.log "$OUT"/valgrind.log

use_temporary_world
start_xvfb
start_pulse || { echo "PulseAudio did not start"; cat "$T/pulse.log"; exit 1; }
start_trayer

# A ring length of 5 s: above the 3 s that asks before every start.
mkdir -p "$XDG_CONFIG_HOME/VMKT"
printf '[Software]\nVMKT\\%s=5\n' '%U95F9%U94C3%U65F6%U957F' >"$XDG_CONFIG_HOME/VMKT/VMKT.ini"

if [ "$MODE" = valgrind ]; then
    STRIP_WAIT=180
    start_vmkt valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite,possible \
        --num-callers=40 --log-file="$OUT/valgrind.log" "$VMKT"
    SLOW=4 # valgrind runs the program several times slower
else
    start_vmkt "$VMKT"
    SLOW=1
fi
ok=$?
cp "$T/vmkt.log" "$OUT/vmkt.log" 2>/dev/null
[ "$ok" = 0 ] || { echo "the strip never appeared"; exit 1; }
set_fields 0 0 10
at 300 300

status_of() { awk -v k="$1:" '$1 == k { print $2 }' "/proc/$VPID/status"; }
printf 'minute\trss_kB\tthreads\tfds\tstreams\tring_streams\tflashed\n' >"$OUT/soak.tsv"
has_stream() { [ "$(sink_inputs)" -ge 1 ]; }
echo "soak: $MINUTES minutes ($MODE), warm-up $WARMUP, table in $OUT/soak.tsv"
t0=$(date +%s)
for ((m = 1; m <= MINUTES; m++)); do
    minute_start=$((t0 + (m - 1) * 60))
    if ! kill -0 "$VPID" 2>/dev/null; then
        echo "the program ended in minute $m"
        break
    fi
    if [ "$m" -gt 1 ]; then
        click_start # 停止
        sleep $((SLOW))
    fi
    click_start # 开始: the countdown of 10 s
    at 300 300
    flashed=no ring=0
    if wait_for $((20 * SLOW)) flashing; then
        flashed=yes
        wait_for $((3 * SLOW)) has_stream
        ring=$(sink_inputs)
    fi
    sleep $((minute_start + 50 - $(date +%s))) 2>/dev/null
    printf '%d\t%s\t%s\t%s\t%s\t%s\t%s\n' "$m" "$(status_of VmRSS)" "$(status_of Threads)" \
        "$(ls "/proc/$VPID/fd" 2>/dev/null | wc -l)" "$(sink_inputs)" "$ring" "$flashed" \
        | tee -a "$OUT/soak.tsv"
    sleep $((minute_start + 60 - $(date +%s))) 2>/dev/null
done

# Stop the alarm, close the program: exit code 0.
click_start
sleep $((SLOW))
click_close
wait_exit $((30 * SLOW)) || RC=timeout
cp "$T/vmkt.log" "$OUT/vmkt.log" 2>/dev/null
cp "$T/pulse.log" "$OUT/pulse.log" 2>/dev/null

echo
column -t "$OUT/soak.tsv"
echo
verdict=$(awk -F'\t' -v w="$WARMUP" -v n="$MINUTES" -v rt="$RSS_TOL" -v tt="$THREADS_TOL" \
    -v ft="$FDS_TOL" -v mode="$MODE" '
    NR == 1 { next }
    { rows++ }
    $7 != "yes" || $6 < 1 { printf "minute %d did not ring (flashed %s, streams %s)\n", $1, $7, $6; bad++ }
    $1 <= w {
        if ($2 > rss) rss = $2; if ($3 > thr) thr = $3; if ($4 > fd) fd = $4; if ($5 > si) si = $5
        next
    }
    {
        if ($2 > maxrss) maxrss = $2; if ($3 > maxthr) maxthr = $3
        if ($4 > maxfd) maxfd = $4; if ($5 > maxsi) maxsi = $5
        last = $2
    }
    END {
        if (rows < n) { printf "only %d of %d minutes ran\n", rows, n; bad++ }
        printf "after the warm-up: RSS %d..%d kB (warm-up max %d, +%d), threads max %d (warm-up %d), fds max %d (warm-up %d), idle streams max %d (warm-up %d)\n",
            rss, maxrss, rss, maxrss - rss, maxthr, thr, maxfd, fd, maxsi, si
        if (mode == "plain" && maxrss > rss + rt) { printf "RSS grew by %d kB (tolerance %d)\n", maxrss - rss, rt; bad++ }
        if (maxthr > thr + tt) { printf "threads grew from %d to %d\n", thr, maxthr; bad++ }
        if (maxfd > fd + ft) { printf "file descriptors grew from %d to %d\n", fd, maxfd; bad++ }
        if (maxsi > si) { printf "playback streams left over: %d after the warm-up, %d before\n", maxsi, si; bad++ }
        exit bad > 0
    }' "$OUT/soak.tsv")
result=$?
echo "$verdict"
if [ "$RC" != 0 ]; then
    echo "the program did not exit with code 0 when closed (found $RC)"
    result=1
else
    echo "closed: exit code 0"
fi

if [ "$MODE" = valgrind ]; then
    echo
    grep -E 'definitely lost|indirectly lost|possibly lost|ERROR SUMMARY' "$OUT/valgrind.log" | sed 's/^==[0-9]*== *//'
    # Definite leaks whose stack passes through the program's own code.
    own=$(awk '/definitely lost in loss record/ { block = $0; keep = 1; next }
               keep && /^==[0-9]+== *$/ { if (block ~ /vmkt::/) { print block; n++ } keep = 0; next }
               keep { block = block "\n" $0 }
               END { exit n > 0 }' "$OUT/valgrind.log")
    if [ -n "$own" ]; then
        echo "definite leaks in the program's own code:"
        echo "$own"
        result=1
    else
        echo "no definite leak in the program's own code (the full report: $OUT/valgrind.log)"
    fi
fi
if grep -q 'LeakSanitizer' "$OUT/vmkt.log"; then
    echo
    grep -E 'LeakSanitizer|^SUMMARY' "$OUT/vmkt.log"
    echo "(the full report: $OUT/vmkt.log)"
    result=1
elif [ "$MODE" = sanitizer ]; then
    echo "LeakSanitizer: no leak"
fi
[ "$result" = 0 ] && echo "soak: passed" || echo "soak: FAILED"
exit "$result"
