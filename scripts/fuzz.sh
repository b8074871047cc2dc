#!/usr/bin/env bash
# Builds the libFuzzer targets into build-fuzz/ and runs each for SECONDS
# (default 60), one after the other, on a temporary copy of fuzz/corpus (new
# inputs never land in the repository). Prints one line per target; exits
# non-zero when any target crashed or a check failed.
#
#   scripts/fuzz.sh            # a minute each, about six minutes in all
#   scripts/fuzz.sh 3600       # the longer run: an hour each
#   FUZZ_SEED=1 scripts/fuzz.sh 45   # the same mutations on every run (CI)
#
# Without FUZZ_SEED every run draws its own seed and so tries new inputs; with
# it, a run repeats the inputs of an earlier one as far as the time allows.
# A crashing input is kept in build-fuzz/artifacts/TARGET/ and the target's
# output in build-fuzz/logs/TARGET.log; both are also printed (the input in
# base64), so that a failure on another machine can be replayed. To replay:
#   build-fuzz/fuzz_TARGET build-fuzz/artifacts/TARGET/crash-...
# Needs clang 14 with libFuzzer (Debian: apt-get install clang-14) and Qt 6
# Core (qt6-base-dev). FUZZ_CXX chooses another clang++.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
case $seconds in
'' | *[!0-9]*)
  echo "usage: scripts/fuzz.sh [SECONDS]" >&2
  exit 2
  ;;
esac

cxx=${FUZZ_CXX:-clang++-14}
if ! command -v "$cxx" >/dev/null; then
  echo "fuzz: $cxx not found (Debian: apt-get install clang-14)" >&2
  exit 2
fi
cc=${cxx/clang++/clang}
command -v "$cc" >/dev/null || cc=clang

build=$root/build-fuzz
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root/fuzz" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" \
    -DCMAKE_C_COMPILER="$cc" >/dev/null
fi
cmake --build "$build" -j 2

# The registry target writes files for every input: on tmpfs when there is
# one, as no disk needs to keep them.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  work=$(mktemp -d /dev/shm/vmkt-fuzz.XXXXXX)
else
  work=$(mktemp -d)
fi
trap 'rm -rf "$work"' EXIT

# Read-only seeds beside fuzz/corpus/TARGET: the scenario files of the tests.
extra_dirs() {
  case $1 in
  fuzz_scenario_reader | fuzz_scenario_runner) echo "$root/tests/scenarios" ;;
  esac
}

seed_args=()
case ${FUZZ_SEED:-} in
'') ;;
*[!0-9]*)
  echo "fuzz: FUZZ_SEED must be a number" >&2
  exit 2
  ;;
*) seed_args=(-seed="$FUZZ_SEED") ;;
esac

failed=0
mkdir -p "$build/logs"
for target in fuzz_text_to_int fuzz_text_to_number fuzz_wave fuzz_registry_linux \
  fuzz_scenario_reader fuzz_scenario_runner; do
  corpus=$work/corpus/$target
  mkdir -p "$corpus" "$work/tmp/$target" "$build/artifacts/$target"
  cp -R "$root/fuzz/corpus/$target/." "$corpus/"
  log=$build/logs/$target.log
  # libFuzzer writes new inputs to the first directory only.
  # shellcheck disable=SC2046
  if TMPDIR=$work/tmp/$target "$build/$target" -max_total_time="$seconds" -timeout=60 \
    -print_final_stats=1 -artifact_prefix="$build/artifacts/$target/" "${seed_args[@]}" \
    "$corpus" $(extra_dirs "$target") >"$log" 2>&1; then
    status=ok
  else
    status=FAILED
    failed=1
  fi
  # A target that fails before its first report prints no figures: the greps
  # below may find nothing.
  runs=$(sed -n 's/^Done \([0-9]*\) runs.*/\1/p' "$log" | tail -n 1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2 || true)
  ft=$(grep -o 'ft: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2 || true)
  units=$(find "$corpus" -type f | wc -l)
  line="$target: $status, ${runs:-?} runs in ${seconds}s, cov ${cov:-?}, ft ${ft:-?}, corpus $units"
  if [ "$status" != ok ]; then
    artifact=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -n 1)
    line="$line; input ${artifact:-none}, log $log"
  fi
  echo "$line"
  if [ "$status" != ok ]; then
    # What went wrong, and the input that did it.
    grep -E 'check failed|ERROR|SUMMARY|runtime error|^ *#[0-9]+ ' "$log" | head -n 30 | sed 's/^/  /' || true
    if [ -n "${artifact:-}" ] && [ -f "$artifact" ]; then
      echo "  input, base64:"
      base64 "$artifact" | head -c 12000 | sed 's/^/    /' || true
      echo
    fi
  fi
done
exit "$failed"
