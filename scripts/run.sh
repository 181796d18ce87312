#!/usr/bin/env bash
# Installs what is missing, builds, and plays the show from the build folder
# (where the generated data folder lives). Arguments pass through: `window`.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh" "$root/build"
cd "$root/build"
exec ./lanternfay "$@"
