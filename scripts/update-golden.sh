#!/usr/bin/env bash
# Records the golden digests (tests/golden/digests.txt) from a native build.
#   scripts/update-golden.sh [build-dir]     (default: build/)
# Only when the generated data or an intended picture changes; see
# tests/golden/golden.sh. Look at the frames it leaves in BUILD/golden/frames
# before committing the new digests.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
cmake --build "$build" -j 2 --target lanternfay-frames lanternfay-tables lanternfay-png-pixels
bash "$root/tests/golden/golden.sh" "$build" --update
