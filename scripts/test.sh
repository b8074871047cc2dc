#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
dir=${BUILD_DIR:-"$root/build"}
"$root/scripts/build.sh" "$dir" "$@"
cd "$dir"
# The sound tests record a real server in real time: two at a time at most.
ctest --output-on-failure -j 2

# The Windows program and the core once more, cross-built and run under Wine.
if [ "${VMKT_SKIP_WINDOWS:-}" != 1 ]; then
  "$root/scripts/test-windows.sh" "${dir}-win"
fi
