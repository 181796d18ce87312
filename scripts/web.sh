#!/usr/bin/env bash
# The show in a web browser.
#   scripts/web.sh build          builds web/ (HTML, script, wasm, the data pack, the
#                                 music, a poster and the icon) with Debian's
#                                 emscripten, and a zip of it to upload; the data,
#                                 the poster (the frame tool) and the icon come from
#                                 a native build (build/, made when missing, its data
#                                 brought up to date)
#   scripts/web.sh serve [PORT]   serves web/ on http://127.0.0.1:PORT/ (default 8000)
# Environment: LANTERNFAY_NATIVE_BUILD (default build), LANTERNFAY_WEB_BUILD
# (default build-web), LANTERNFAY_WEB_OUT (default web), LANTERNFAY_WEB_ZIP
# (default build-web/lanternfay-VERSION-web.zip); for the page, when the host
# has them: LANTERNFAY_WEB_URL (the page's own address, ending in /, for link
# previews), LANTERNFAY_WEB_DOWNLOADS and LANTERNFAY_WEB_VIDEO (links to the
# program's downloads and to a video; the page shows only those set).
set -euo pipefail
cd "$(dirname "$0")/.."
native=${LANTERNFAY_NATIVE_BUILD:-build}
web_build=${LANTERNFAY_WEB_BUILD:-build-web}
out=${LANTERNFAY_WEB_OUT:-web}
version=$(sed -n 's/^project(lanternfay VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
zip=${LANTERNFAY_WEB_ZIP:-$web_build/lanternfay-$version-web.zip}
poster_at=20.5   # show time of the poster: the flight, with its title card

build() {
  scripts/setup.sh --web   # emscripten and the browser tests' packages, when missing
  command -v emcmake >/dev/null || { echo "web.sh: emscripten is missing (scripts/setup.sh --web installs it)" >&2; exit 1; }
  # Nothing is fetched: emscripten's prebuilt system libraries only, no ports.
  # Its optimiser runs on the system's Node.js, which finds its modules here.
  export EM_FROZEN_CACHE=1 NODE_PATH=/usr/share/nodejs
  # The data as the generator of these sources makes it (nothing to do when
  # current), the frame tool for the poster and the icon for the favicon.
  [[ -f "$native/CMakeCache.txt" ]] || cmake -S . -B "$native" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$native" -j 2 --target show_data show_icon lanternfay-frames >/dev/null
  emcmake cmake -S . -B "$web_build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$web_build" -j 2 --target lanternfay-web
  rm -rf "$out"
  mkdir -p "$out/data"
  cp "$web_build"/web/page.js "$web_build"/web/lanternfay.js "$web_build"/web/lanternfay.wasm "$out"/
  cp "$native/lanternfay.png" "$out"/
  # The pictures (as PNGs when ffmpeg is there: a third smaller than the BMPs
  # gzip'd; the page turns them back into the same BMPs) and the meshes in
  # one gzip'd tar, which the page unpacks itself (the same bytes on any day,
  # so an unchanged show uploads the same file); the music, compressed
  # already, beside it.
  local pack names name
  pack=$(mktemp -d)
  names=$(cd "$native/data" && find . -maxdepth 1 -type f ! -name '.*' ! -name lanternfay.ogg -printf '%f\n' | LC_ALL=C sort)
  for name in $names; do
    if [[ $name == *.bmp ]] && command -v ffmpeg >/dev/null; then
      ffmpeg -v error -i "$native/data/$name" -pix_fmt rgb24 -pred mixed -compression_level 9 "$pack/${name%.bmp}.png"
    else
      cp "$native/data/$name" "$pack/"
    fi
  done
  (cd "$pack" && find . -type f -printf '%f\n' | LC_ALL=C sort |
     tar --format=ustar --owner=0 --group=0 --numeric-owner --mtime=@0 --mode=a+r,u+w,go-w -cf - -T -) |
    gzip -9 -n > "$out/data/lanternfay-data.tar.gz"
  rm -rf "$pack"
  [[ ! -f "$native/data/lanternfay.ogg" ]] || cp "$native/data/lanternfay.ogg" "$out/data/"
  poster
  page
  package
  echo "web.sh: built $out/ ($(du -sh "$out" | cut -f1)) and $zip; scripts/web.sh serve shows it"
}

# The poster: a still of the show by the frame tool, shown while the page
# loads and in link previews; a JPEG when ffmpeg is there (a tenth of the PNG).
poster() {
  local frames png
  frames=$(mktemp -d)
  (cd "$native" && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy ./tools/frames/lanternfay-frames \
       --at "$poster_at" --out "$frames" >/dev/null)
  png=$(ls "$frames"/*.png)
  if command -v ffmpeg >/dev/null; then
    ffmpeg -v error -y -i "$png" -q:v 5 "$out/poster.jpg"
  else
    cp "$png" "$out/poster.jpg"   # browsers go by the content, not the name
  fi
  rm -rf "$frames"
}

# index.html with the sizes of the downloads (for the progress bar), the
# page's address (link previews want an absolute one) and the host's links.
page() {
  WASM_BYTES=$(stat -c %s "$out/lanternfay.wasm") \
  PACK_BYTES=$(stat -c %s "$out/data/lanternfay-data.tar.gz") \
  MUSIC_BYTES=$( [[ -f "$out/data/lanternfay.ogg" ]] && stat -c %s "$out/data/lanternfay.ogg" || echo 0) \
  PAGE_URL=${LANTERNFAY_WEB_URL:-} DOWNLOADS_URL=${LANTERNFAY_WEB_DOWNLOADS:-} VIDEO_URL=${LANTERNFAY_WEB_VIDEO:-} \
  python3 - "$web_build/web/index.html" "$out/index.html" <<'PYTHON'
import html, os, sys
text = open(sys.argv[1], encoding='utf-8').read()
for name in ('WASM_BYTES', 'PACK_BYTES', 'MUSIC_BYTES', 'PAGE_URL', 'DOWNLOADS_URL', 'VIDEO_URL'):
    text = text.replace('@%s@' % name, html.escape(os.environ[name]))
open(sys.argv[2], 'w', encoding='utf-8').write(text)
PYTHON
}

# web/ as one zip, ready to upload: it unpacks to a folder lanternfay/.
package() {
  rm -f "$zip"
  python3 - "$out" "$zip" <<'PYTHON'
import os, sys, zipfile
folder, archive = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(archive, 'w', zipfile.ZIP_DEFLATED) as z:
    for root, _, files in sorted(os.walk(folder)):
        for name in sorted(files):
            path = os.path.join(root, name)
            z.write(path, os.path.join('lanternfay', os.path.relpath(path, folder)))
PYTHON
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
                      '.ogg': 'audio/ogg', '.gz': 'application/gzip', '.jpg': 'image/jpeg', '.png': 'image/png'}
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
