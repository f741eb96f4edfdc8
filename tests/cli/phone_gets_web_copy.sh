#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A gallery with web copies, made with the sample templates and served over HTTP, seen by headless
# Chromium at a phone's 390 x 844: the picture page fetches the copy a phone needs and not the
# original, which it still links; the overview fetches the thumbnails only; neither page asks for
# an icon file. A picture without copies still shows its original.
# Arguments: <quillmoor-make> <source tree>
set -u -o pipefail
make_bin=$1
src=$2
for tool in chromium python3 cjpeg pamscale pgmramp rgb3toppm; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/qlm-phone.XXXXXX")
server=
cleanup() {
  [[ -n "$server" ]] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
folder=$work/galerie
mkdir -p "$folder/qlm-web"
fail() { echo "FAIL: $*" >&2; exit 1; }

# A photo of 2000 x 1500 with copies of 800 and 1600 pixels on the longer side, named as the copy
# maker names them; "bergsee.jpg" of the demo has no copies.
pgmramp -lr 2000 1500 >"$work/r.pgm" && pgmramp -tb 2000 1500 >"$work/g.pgm" &&
  pgmramp -diagonal 2000 1500 >"$work/b.pgm" &&
  rgb3toppm "$work/r.pgm" "$work/g.pgm" "$work/b.pgm" >"$work/foto.ppm" || fail "cannot make the photo"
cjpeg -quality 90 -outfile "$folder/foto.jpg" "$work/foto.ppm"
for side in 800 1600; do
  pamscale -xyfit "$side" "$side" "$work/foto.ppm" | cjpeg -progressive -quality 80 -outfile "$folder/qlm-web/foto_$side.jpg"
done
pamscale -xyfit 400 400 "$work/foto.ppm" | cjpeg -quality 85 -outfile "$folder/t_foto.jpg"
cp "$src/demo/bergsee.jpg" "$src/demo/t_bergsee.jpg" "$folder/"
printf 'Am Telefon' >"$folder/title.txt"
"$make_bin" --no-ask --templates "$src/templates" "$folder" foto.jpg bergsee.jpg >"$work/out" 2>&1 ||
  fail "quillmoor-make failed: $(cat "$work/out")"
grep -qF 'srcset="qlm-web/foto_800.jpg 800w, qlm-web/foto_1600.jpg 1600w, foto.jpg 2000w"' "$folder/foto.html" ||
  fail "foto.html offers no web copies: $(grep -o '<img[^>]*>' "$folder/foto.html")"
grep -qF '<a id="original" href="foto.jpg">Original</a>' "$folder/foto.html" || fail "foto.html does not link the original"

# The server picks a free port and says which; every request goes to its log.
python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$folder" >"$work/server.out" 2>"$work/requests" &
server=$!
port=
for _ in $(seq 100); do
  port=$(sed -n 's/.* port \([0-9]*\).*/\1/p' "$work/server.out")
  [[ -n "$port" ]] && break
  sleep 0.1
done
[[ -n "$port" ]] || fail "the HTTP server did not start: $(cat "$work/requests")"

# visit <page>: the requests a phone-sized headless Chromium makes for the page, one path a line.
visit() {
  : >"$work/requests"
  chromium --headless --no-sandbox --disable-gpu --no-first-run --disable-background-networking \
    --disable-component-update --disable-sync --user-data-dir="$(mktemp -d "$work/profile.XXXXXX")" \
    --window-size=390,844 --dump-dom "http://127.0.0.1:$port/$1" >"$work/dom" 2>"$work/chromium.log" ||
    fail "chromium could not show $1: $(tail -3 "$work/chromium.log")"
  grep -q '</html>' "$work/dom" || fail "chromium gave no page for $1"
  # The page is loaded, pictures included, when --dump-dom ends; the log may follow a moment later.
  for _ in $(seq 50); do
    grep -q "GET /$1 " "$work/requests" && break
    sleep 0.1
  done
  sed -n 's/.*"GET \([^ ]*\) HTTP.*/\1/p' "$work/requests" | sort -u
}

# fetched <path>: whether the last visit asked for that file.
fetched() { grep -qxF "$1" <<<"$requests"; }

requests=$(visit foto.html)
fetched /qlm-web/foto_800.jpg || fail "the picture page fetched no web copy: $requests"
fetched /foto.jpg && fail "the picture page fetched the original: $requests"
fetched /qlm-web/foto_1600.jpg && fail "a phone fetched the large copy: $requests"
grep -q favicon <<<"$requests" && fail "the picture page asked for an icon file: $requests"

requests=$(visit bergsee.html)
fetched /bergsee.jpg || fail "a picture without copies does not show its original: $requests"

requests=$(visit index.html)
fetched /t_foto.jpg && fetched /t_bergsee.jpg || fail "the overview fetched not every thumbnail: $requests"
[[ $(grep -c -v -x -e /index.html -e /t_foto.jpg -e /t_bergsee.jpg <<<"$requests") == 0 ]] ||
  fail "the overview fetched more than its thumbnails: $requests"
echo "passed: the phone got $(grep -c . <<<"$requests") files for the overview and only the web copy for the picture page"
