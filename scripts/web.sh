#!/usr/bin/env bash
# The show in a web browser.
#   scripts/web.sh build          builds web/ (HTML, script, wasm and the data) with
#                                 Debian's emscripten; the data comes from a native
#                                 build (build/, made when missing, its data brought
#                                 up to date)
#   scripts/web.sh serve [PORT]   serves web/ on http://127.0.0.1:PORT/ (default 8000)
# Environment: LANTERNFAY_NATIVE_BUILD (default build), LANTERNFAY_WEB_BUILD
# (default build-web), LANTERNFAY_WEB_OUT (default web).
set -euo pipefail
cd "$(dirname "$0")/.."
native=${LANTERNFAY_NATIVE_BUILD:-build}
web_build=${LANTERNFAY_WEB_BUILD:-build-web}
out=${LANTERNFAY_WEB_OUT:-web}

build() {
  scripts/setup.sh --web   # emscripten and the browser tests' packages, when missing
  command -v emcmake >/dev/null || { echo "web.sh: emscripten is missing (scripts/setup.sh --web installs it)" >&2; exit 1; }
  # Nothing is fetched: emscripten's prebuilt system libraries only, no ports.
  # Its optimiser runs on the system's Node.js, which finds its modules here.
  export EM_FROZEN_CACHE=1 NODE_PATH=/usr/share/nodejs
  # The data as the generator of these sources makes it (nothing to do when current).
  [[ -f "$native/CMakeCache.txt" ]] || cmake -S . -B "$native" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$native" -j 2 --target show_data >/dev/null
  emcmake cmake -S . -B "$web_build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$web_build" -j 2 --target lanternfay-web
  rm -rf "$out"
  mkdir -p "$out/data"
  cp "$web_build"/web/index.html "$web_build"/web/page.js "$web_build"/web/lanternfay.js \
     "$web_build"/web/lanternfay.wasm "$out"/
  # The data files and their list, which the page fetches.
  (cd "$native/data" && find . -maxdepth 1 -type f ! -name '.*' -printf '%f\n' | LC_ALL=C sort) > "$out/data/files.txt"
  while read -r name; do cp "$native/data/$name" "$out/data/"; done < "$out/data/files.txt"
  echo "web.sh: built $out/ ($(du -sh "$out" | cut -f1)); scripts/web.sh serve shows it"
}

serve() {
  local port=${1:-8000}
  [[ -f "$out/index.html" ]] || { echo "web.sh: no $out/index.html: run scripts/web.sh build first" >&2; exit 1; }
  echo "web.sh: the show is at http://127.0.0.1:$port/ (Ctrl-C ends the server)"
  exec python3 - "$out" "$port" <<'PYTHON'
import functools, http.server, sys
directory, port = sys.argv[1], int(sys.argv[2])
class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      '.wasm': 'application/wasm', '.js': 'text/javascript', '.html': 'text/html',
                      '.ogg': 'audio/ogg', '.bmp': 'image/bmp', '.raw': 'text/plain', '.txt': 'text/plain'}
    def end_headers(self):
        self.send_header('Cache-Control', 'no-cache')
        self.send_header('X-Content-Type-Options', 'nosniff')
        super().end_headers()
http.server.ThreadingHTTPServer(('127.0.0.1', port), functools.partial(Handler, directory=directory)).serve_forever()
PYTHON
}

case "${1:-}" in
  build) build ;;
  serve) shift; serve "$@" ;;
  *) echo "usage: scripts/web.sh build | serve [PORT]" >&2; exit 2 ;;
esac
