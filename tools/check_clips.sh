#!/bin/sh
# Checks that actions/clips.cpp is what tools/gen_clips.cpp produces today.
# Usage: tools/check_clips.sh GENERATOR_BINARY
set -eu
if [ $# -ne 1 ]; then
    echo "usage: $0 GENERATOR_BINARY" >&2
    exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
committed="$here/../actions/clips.cpp"
fresh=$(mktemp)
trap 'rm -f "$fresh"' EXIT
"$1" "$fresh"
if ! cmp -s "$fresh" "$committed"; then
    echo "actions/clips.cpp differs from the output of $1; regenerate it with: $1 actions/clips.cpp" >&2
    exit 1
fi
echo "actions/clips.cpp matches the generator"
