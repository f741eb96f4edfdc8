#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# What a phone makes of a gallery: 12 photos of 12 megapixels made into pages with the sample
# templates, thumbnails and web copies, served over HTTP on this machine and measured with
# Lighthouse 12 (mobile, its default throttling) on the overview and on a picture page. Prints the
# four scores, the largest contentful paint and the bytes each page sends.
# Lighthouse is installed from the npm registry into a temporary folder and removed afterwards.
#
#   sh bench/lighthouse.sh [BUILD_DIR]        (default build/)
#   CHROME_PATH=/path/to/chromium sh bench/lighthouse.sh
#
# Goals: performance >= 95, largest contentful paint <= 2.5 s, accessibility, best practices and
# SEO 100; at most 300 KiB for the overview and 400 KiB for a picture page.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
make_bin="$build/cli/quillmoor-make"
CHROME_PATH=${CHROME_PATH:-/usr/bin/chromium}
export CHROME_PATH
. "$root/bench/photos.sh"
check_photo_tools
for tool in npm python3 djpeg "$CHROME_PATH"; do
    command -v "$tool" >/dev/null 2>&1 || { echo "$tool is missing" >&2; exit 1; }
done
[ -x "$make_bin" ] || { echo "$make_bin is missing: build first" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/quillmoor-lighthouse.XXXXXX")
server=
cleanup() {
    [ -n "$server" ] && kill "$server" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT INT TERM
folder="$work/galerie"
mkdir "$folder" "$work/tmp" "$work/lighthouse"

echo "Installing Lighthouse 12 ..."
npm install --prefix "$work/lighthouse" --no-audit --no-fund --silent lighthouse@12 >"$work/npm.log" 2>&1 ||
    { cat "$work/npm.log" >&2; exit 1; }
lighthouse="$work/lighthouse/node_modules/.bin/lighthouse"

make_photos "$folder" 12 "$work/tmp"
# The photo maker's small thumbnails go: the gallery gets those quillmoor-make makes. The texts are
# those a user gives when asked: a description of the folder and a line per picture.
rm -f "$folder"/t_*.jpg
printf 'Zwölf Fotos aus dem Garten, im Licht des Nachmittags' >"$folder/description.txt"
for photo in "$folder"/foto*.jpg; do
    base=$(basename "$photo" .jpg)
    printf 'Licht und Schatten im Garten, Bild %s' "${base#foto}" >"$folder/$base.txt"
done

# make_copies: the web copies by hand, under the names quillmoor-make gives them, for a
# quillmoor-make that cannot make them yet (libjpeg's own reduction, then progressive JPEG).
make_copies() {
    mkdir -p "$folder/qlm-web"
    for photo in "$folder"/foto*.jpg; do
        base=$(basename "$photo" .jpg)
        djpeg -scale 1/4 "$photo" | pamscale -xyfit 800 800 |
            cjpeg -progressive -quality 80 -optimize -outfile "$folder/qlm-web/${base}_800.jpg"
        djpeg -scale 1/2 "$photo" | pamscale -xyfit 1600 1600 |
            cjpeg -progressive -quality 80 -optimize -outfile "$folder/qlm-web/${base}_1600.jpg"
    done
}
if "$make_bin" --help 2>&1 | grep -q -- --make-web-pictures; then
    "$make_bin" --no-ask --make-thumbnails --make-web-pictures --templates "$root/templates" "$folder" >"$work/make.log" 2>&1
else
    echo "(quillmoor-make makes no web copies yet: made with djpeg and cjpeg under the same names)"
    make_copies
    "$make_bin" --no-ask --make-thumbnails --templates "$root/templates" "$folder" >"$work/make.log" 2>&1
fi || { cat "$work/make.log" >&2; exit 1; }
echo "Gallery: $(ls "$folder"/foto*.html | wc -l) picture pages, thumbnails $(cat "$folder"/t_*.jpg | wc -c) bytes," \
    "web copies $(ls "$folder/qlm-web" | wc -l) files"

python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$folder" >"$work/server.out" 2>/dev/null &
server=$!
port=
for _ in $(seq 100); do
    port=$(sed -n 's/.* port \([0-9]*\).*/\1/p' "$work/server.out")
    [ -n "$port" ] && break
    sleep 0.1
done
[ -n "$port" ] || { echo "the HTTP server did not start" >&2; exit 1; }

# measure PAGE: Lighthouse's mobile report of the page, summed up in one line.
measure() {
    "$lighthouse" "http://127.0.0.1:$port/$1" --quiet --output=json --output-path="$work/report.json" \
        --chrome-flags="--headless=new --no-sandbox --disable-gpu" >"$work/lighthouse.log" 2>&1 ||
        { tail -5 "$work/lighthouse.log" >&2; exit 1; }
    python3 - "$work/report.json" "$1" <<'EOF'
import json, sys
report = json.load(open(sys.argv[1]))
score = {key: round(100 * c["score"]) if c["score"] is not None else "-" for key, c in report["categories"].items()}
audits = report["audits"]
failed = [key for key, a in audits.items()
          if a.get("score") is not None and a["score"] < 1 and a.get("scoreDisplayMode") in ("binary", "metricSavings")]
print(f"{sys.argv[2]:<12} performance {score['performance']}, accessibility {score['accessibility']}, "
      f"best practices {score['best-practices']}, SEO {score['seo']}; "
      f"LCP {audits['largest-contentful-paint']['numericValue'] / 1000:.1f} s; "
      f"{audits['total-byte-weight']['numericValue'] / 1024:.0f} KiB")
if failed:
    print("             not passed: " + ", ".join(sorted(failed)))
EOF
}
echo "Lighthouse $("$lighthouse" --version), mobile:"
measure index.html
measure foto06.html
