#!/usr/bin/env bash
# Installs what is missing, builds, and starts the clock.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build"
if [ -x "$root/build/vmkt" ]; then
  exec "$root/build/vmkt"
fi
# Without the desktop program, play the demonstration in virtual time.
exec "$root/build/vmkt-sim" "$root/sim/demo.scenario"
