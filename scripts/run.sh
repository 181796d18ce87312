#!/usr/bin/env bash
# Installs what is missing, builds what the show needs (the program and its
# generated data folder, not the tests, benchmarks or tools, so that a fresh
# clone reaches its first frame soonest) and plays the show from the build
# folder, where the data folder lives. Arguments pass through: `window`.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
build=$root/build
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)" --target lanternfay show_data
cd "$build"
exec ./lanternfay "$@"
