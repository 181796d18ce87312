#!/usr/bin/env bash
# The browser build's tests: builds web/ (scripts/web.sh build, with the native
# build's data and tools), then in headless Chromium holds the page's frames
# and tables to the native build's and plays it in real time.
#   tests/web/run.sh     (from anywhere; about three minutes on two cores)
set -euo pipefail
cd "$(dirname "$0")/../.."
native=${LANTERNFAY_NATIVE_BUILD:-build}
web_build=${LANTERNFAY_WEB_BUILD:-build-web}
export LANTERNFAY_NATIVE_BUILD=$native LANTERNFAY_WEB_BUILD=$web_build
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy EM_FROZEN_CACHE=1 NODE_PATH=/usr/share/nodejs
scripts/web.sh build
cmake --build "$web_build" -j 2 --target lanternfay-tables test_platform_web >/dev/null
# The native tools the comparison needs, besides the data web.sh made sure of.
cmake --build "$native" -j 2 --target lanternfay-frames lanternfay-tables lanternfay-png-pixels >/dev/null
node "$web_build/test_platform_web.js"
/usr/bin/python3 tests/web/frames.py "$native" "$web_build" "${LANTERNFAY_WEB_OUT:-web}"
/usr/bin/python3 tests/web/play.py "${LANTERNFAY_WEB_OUT:-web}"
