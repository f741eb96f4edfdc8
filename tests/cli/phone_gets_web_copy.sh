#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A gallery with web copies, made with the sample templates and served over HTTP, seen by headless
# Chromium at a phone's 390 x 844: the picture page fetches the copy a phone needs and not the
# original, which it still links; the overview fetches the thumbnails only; neither page asks for
# an icon file. A picture without copies still shows its original. The picture page of a long
# camera name fits the phone's width.
# Arguments: <quillmoor-make> <source tree>
set -u -o pipefail
make_bin=$1
src=$2
for tool in chromium python3 cjpeg pamscale pgmramp ppmmake rgb3toppm; do
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
  rgb3toppm "$work/r.pgm" "$work/g.pgm" "$work/b.pgm" >"$work/Elephants_5640x3172.ppm" || fail "cannot make the photo"
cjpeg -quality 90 -outfile "$folder/Elephants_5640x3172.jpg" "$work/Elephants_5640x3172.ppm"
for side in 800 1600; do
  pamscale -xyfit "$side" "$side" "$work/Elephants_5640x3172.ppm" | cjpeg -progressive -quality 80 -outfile "$folder/qlm-web/Elephants_5640x3172_$side.jpg"
done
pamscale -xyfit 400 400 "$work/Elephants_5640x3172.ppm" | cjpeg -quality 85 -outfile "$folder/t_Elephants_5640x3172.jpg"
cp "$src/demo/bergsee.jpg" "$src/demo/t_bergsee.jpg" "$folder/"
printf 'Am Telefon' >"$folder/title.txt"
"$make_bin" --no-ask --templates "$src/templates" "$folder" Elephants_5640x3172.jpg bergsee.jpg >"$work/out" 2>&1 ||
  fail "quillmoor-make failed: $(cat "$work/out")"
grep -qF 'srcset="qlm-web/Elephants_5640x3172_800.jpg 800w, qlm-web/Elephants_5640x3172_1600.jpg 1600w, Elephants_5640x3172.jpg 2000w"' "$folder/Elephants_5640x3172.html" ||
  fail "Elephants_5640x3172.html offers no web copies: $(grep -o '<img[^>]*>' "$folder/Elephants_5640x3172.html")"
grep -qF '<a id="original" href="Elephants_5640x3172.jpg">Original</a>' "$folder/Elephants_5640x3172.html" || fail "Elephants_5640x3172.html does not link the original"
# A rerun over the unchanged folder writes nothing.
touch -d '-1 minute' "$work/before"
find "$folder" -exec touch -d '-2 minutes' {} +
"$make_bin" --no-ask --templates "$src/templates" "$folder" Elephants_5640x3172.jpg bergsee.jpg >"$work/out" 2>&1 ||
  fail "the rerun failed: $(cat "$work/out")"
written=$(find "$folder" -type f -newer "$work/before")
[[ -z "$written" ]] || fail "the rerun wrote: $written"

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

# Chromium draws no window narrower than 500 pixels, so the page is shown in a frame of a phone's
# size, on a page of the same server that measures it: how wide the page is drawn and where its
# count ends.
cat >"$folder/phone.html" <<'EOF'
<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>390 x 844</title><link rel="icon" href="data:,"></head>
<body style="margin: 0"><iframe id="phone" title="phone" style="border: 0" width="390" height="844"></iframe>
<script>
var frame = document.getElementById("phone");
frame.addEventListener("load", function () {
  var page = frame.contentDocument, count = page.querySelector(".count");
  document.body.setAttribute("data-fit", page.documentElement.scrollWidth + " " +
    (count ? Math.ceil(count.getBoundingClientRect().right) : 0));
});
frame.src = location.search.substring(1);
</script></body></html>
EOF

# visit <page>: the files a phone-sized frame of headless Chromium fetches for the page, one path a
# line, without the measuring page; its measure is in $work/dom.
visit() {
  : >"$work/requests"
  chromium --headless --no-sandbox --disable-gpu --no-first-run --disable-background-networking \
    --disable-component-update --disable-sync --user-data-dir="$(mktemp -d "$work/profile.XXXXXX")" \
    --window-size=390,844 --dump-dom "http://127.0.0.1:$port/phone.html?$1" >"$work/dom" 2>"$work/chromium.log" ||
    fail "chromium could not show $1: $(tail -3 "$work/chromium.log")"
  grep -q 'data-fit=' "$work/dom" || fail "chromium gave no page for $1"
  # The page is loaded, pictures included, when --dump-dom ends; the log may follow a moment later.
  for _ in $(seq 50); do
    grep -q "GET /$1 " "$work/requests" && break
    sleep 0.1
  done
  sed -n 's/.*"GET \([^ ]*\) HTTP.*/\1/p' "$work/requests" | grep -v '^/phone.html' | sort -u
}

# fetched <path>: whether the last visit asked for that file.
fetched() { grep -qxF "$1" <<<"$requests"; }

requests=$(visit Elephants_5640x3172.html)
fetched /qlm-web/Elephants_5640x3172_800.jpg || fail "the picture page fetched no web copy: $requests"
fetched /Elephants_5640x3172.jpg && fail "the picture page fetched the original: $requests"
fetched /qlm-web/Elephants_5640x3172_1600.jpg && fail "a phone fetched the large copy: $requests"
grep -q favicon <<<"$requests" && fail "the picture page asked for an icon file: $requests"

requests=$(visit bergsee.html)
fetched /bergsee.jpg || fail "a picture without copies does not show its original: $requests"

requests=$(visit index.html)
fetched /t_Elephants_5640x3172.jpg && fetched /t_bergsee.jpg || fail "the overview fetched not every thumbnail: $requests"
[[ $(grep -c -v -x -e /index.html -e /t_Elephants_5640x3172.jpg -e /t_bergsee.jpg <<<"$requests") == 0 ]] ||
  fail "the overview fetched more than its thumbnails: $requests"
# Drawn at the phone's width, nothing of the picture page reaches past its right edge.
requests=$(visit Elephants_5640x3172.html)
read -r page_width count_right < <(sed -n 's/.*data-fit="\([0-9]*\) \([0-9]*\)".*/\1 \2/p' "$work/dom")
((${page_width:-999} <= 390 && ${count_right:-999} <= 390)) ||
  fail "the picture page is wider than the phone: ${page_width:-?} pixels, the count ends at ${count_right:-?}"

# A second gallery, as a newcomer makes it: a landscape and a portrait photo from a camera with
# their web copies and thumbnails made by the run, 25 small pictures after them, no texts.
reihe=$folder/reihe
mkdir "$reihe"
ppmmake rgb:40/80/b0 4000 3000 | cjpeg -quality 90 -outfile "$reihe/quer.jpg" &&
  ppmmake rgb:b0/80/40 3000 4000 | cjpeg -quality 90 -outfile "$reihe/hoch.jpg" &&
  ppmmake rgb:60/a0/60 400 300 | cjpeg -quality 90 -outfile "$work/kachel.jpg" || fail "cannot make the photos"
for n in $(seq -w 1 25); do cp "$work/kachel.jpg" "$reihe/kachel$n.jpg"; done
"$make_bin" --no-ask --make-thumbnails --make-web-pictures --templates "$src/templates" "$reihe" >"$work/out" 2>&1 ||
  fail "quillmoor-make failed on the second gallery: $(cat "$work/out")"
# The copies' widths: 800 and 1600 pixels on the longer side, then the original.
declare -A widths=([quer]="800 1600 4000" [hoch]="600 1200 3000")

# Frames of a screen's size side by side, on a page of the same server that reports, per frame, the
# device pixel ratio, then for a picture page the file its picture shows and how wide it is drawn,
# for the overview the thumbnails of the tiles that reach into the first screen.
cat >"$folder/frames.html" <<'EOF'
<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>frames</title><link rel="icon" href="data:,"></head>
<body style="margin: 0; display: flex; align-items: flex-start"><pre id="out"></pre><script>
var args = location.search.substring(1).split("&"), pages = args.slice(2), left = pages.length;
pages.forEach(function (page) {
  var frame = document.createElement("iframe");
  frame.width = args[0]; frame.height = args[1]; frame.style.border = "0"; frame.title = page;
  frame.addEventListener("load", function () { if (--left === 0) report(); });
  frame.src = page;
  document.body.insertBefore(frame, document.getElementById("out"));
});
function report() {
  var lines = [];
  document.querySelectorAll("iframe").forEach(function (frame) {
    var doc = frame.contentDocument, view = frame.contentWindow, line = [frame.title, view.devicePixelRatio];
    var picture = doc.querySelector("figure:not(.tile) img");
    if (picture)
      line.push(new URL(picture.currentSrc).pathname, Math.ceil(picture.getBoundingClientRect().width));
    doc.querySelectorAll(".tile img").forEach(function (thumb) {
      if (thumb.getBoundingClientRect().top < view.innerHeight) line.push(new URL(thumb.src).pathname);
    });
    lines.push(line.join(" "));
  });
  document.getElementById("out").textContent = lines.join("\n");
}
</script></body></html>
EOF

# show <width> <height> <ratio> <page>...: the pages in frames of that size at that pixel ratio; their
# reports in $work/report, the files fetched in $requests. The window is made taller than the frames,
# as headless Chromium shows less than the height it is given. It loads every picture
# at once unless told to load lazily; a phone loads lazy pictures some way ahead of the screen, and
# that margin is set to nothing here, so that the test sees what the page holds back.
show() {
  local width=$1 height=$2 ratio=$3 pages
  shift 3
  pages=$(IFS='&'; echo "$*")
  : >"$work/requests"
  chromium --headless --no-sandbox --disable-gpu --no-first-run --disable-background-networking \
    --disable-component-update --disable-sync --user-data-dir="$(mktemp -d "$work/profile.XXXXXX")" \
    --window-size="$((width * $# > 500 ? width * $# : 500)),$((height + 300))" --force-device-scale-factor="$ratio" \
    --blink-settings=lazyLoadEnabled=true,lazyLoadingImageMarginPxUnknown=0,lazyLoadingImageMarginPx4G=0,lazyLoadingImageMarginPx3G=0,lazyLoadingImageMarginPx2G=0,lazyLoadingImageMarginPxSlow2G=0,lazyLoadingImageMarginPxOffline=0 \
    --virtual-time-budget=3000 --dump-dom "http://127.0.0.1:$port/frames.html?$width&$height&$pages" \
    >"$work/dom" 2>"$work/chromium.log" || fail "chromium could not show $pages: $(tail -3 "$work/chromium.log")"
  tr '\n' '\a' <"$work/dom" | sed 's/.*<pre id="out">//; s/<\/pre>.*//' | tr '\a' '\n' >"$work/report"
  [[ $(grep -c "" "$work/report") == "$#" ]] || fail "chromium reported no frames for $pages: $(cat "$work/report")"
  for _ in $(seq 50); do
    grep -q "GET /frames.html" "$work/requests" && break
    sleep 0.1
  done
  sleep 0.2
  requests=$(sed -n 's/.*"GET \([^ ]*\) HTTP.*/\1/p' "$work/requests" | sort -u)
}

# At each screen, a picture is fetched in full only where it is drawn wider than its largest copy
# in device pixels; at a ratio of 1 the browser takes the narrowest file that is sharp, which it
# does only when the page's sizes tells the width its CSS gives the picture.
for screen in 390x844x3 1280x800x1 1440x900x1 1440x900x2 1920x1080x1; do
  IFS=x read -r width height ratio <<<"$screen"
  show "$width" "$height" "$ratio" reihe/quer.html reihe/hoch.html
  for name in quer hoch; do
    read -r _ shown_ratio file drawn < <(grep "^reihe/$name.html " "$work/report")
    [[ "$shown_ratio" == "$ratio" ]] || fail "$name.html at $screen was shown at a pixel ratio of $shown_ratio"
    needed=$(((drawn * ratio)))
    read -r small large original <<<"${widths[$name]}"
    sharp=/reihe/$name.jpg
    for copy in "$large" "$small"; do
      ((copy >= needed)) && sharp=/reihe/qlm-web/${name}_$((copy == small ? 800 : 1600)).jpg
    done
    if ((large >= needed)); then
      fetched "/reihe/$name.jpg" && fail "$name.html at $screen fetched the original, drawn $drawn wide: $requests"
    fi
    if ((ratio == 1)); then
      [[ "$file" == "$sharp" ]] || fail "$name.html at $screen, drawn $drawn wide, shows $file rather than $sharp"
    fi
    echo "$name.html at $screen: drawn $drawn wide, shows $file (original $original wide)"
  done
done

# A phone's first screen of the overview: its thumbnails are fetched, the others are not.
show 390 844 3 reihe/index.html
read -r _ _ on_screen < <(cat "$work/report")
[[ -n "$on_screen" ]] || fail "no tile of the overview reaches into the first screen"
thumbs=$(grep '^/reihe/t_' <<<"$requests" | tr '\n' ' ')
# No thumbnail below the first screen is fetched; those loaded eagerly (the first six tiles) always
# are, while the lazy ones on the screen may still be on their way when the page is read on a busy
# machine.
for thumb in $thumbs; do
  [[ " $on_screen " == *" $thumb "* ]] ||
    fail "the overview at 390 x 844 fetched $thumb, below its first screen ($on_screen)"
done
for eager in $(tr ' ' '\n' <<<"$on_screen" | head -n 6); do
  [[ " $thumbs " == *" $eager "* ]] || fail "the overview at 390 x 844 did not fetch $eager: $thumbs"
done
echo "the overview at 390 x 844 fetched $(wc -w <<<"$thumbs") thumbnails, all of its first screen's $(wc -w <<<"$on_screen"), of 27"

echo "passed: the picture page fetched only the web copy a phone needs and fits 390 pixels"
