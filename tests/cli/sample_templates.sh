#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The sample templates on the demo folder: every page passes tidy without errors, the picture
# pages lead to their neighbours in the run's order (no link before the first, none after the
# last), say where they stand ("2 / 3"), give the big picture its alt text and work the arrow keys
# through their links, and the overview's tiles carry the thumbnails with alt texts and the texts;
# no page has an empty description.
# With Chromium, the overview and a picture page are drawn at a phone's and a desktop's width and
# kept as screenshots.
# Arguments: <quillmoor-make> <source tree> <screenshot folder>
set -u -o pipefail
make_bin=$1
src=$2
shots=$3
command -v tidy >/dev/null || { echo "SKIP: tidy is not installed"; exit 77; }

work=$(mktemp -d "${TMPDIR:-/tmp}/qlm-samples.XXXXXX")
trap 'rm -rf "$work"' EXIT
folder=$work/galerie
mkdir "$folder"
fail() { echo "FAIL: $*" >&2; exit 1; }

for name in bergsee.jpg blumen.png leuchtturm.gif; do
  cp "$src/demo/$name" "$src/demo/t_$name" "$folder/"
done
cp "$src/demo/bergsee.txt" "$src/demo/blumen.txt" "$src/demo/title.txt" "$folder/"

"$make_bin" --no-ask --templates "$src/templates" "$folder" bergsee.jpg blumen.png leuchtturm.gif \
  >"$work/out" 2>&1 || fail "quillmoor-make failed: $(cat "$work/out")"

for page in "$folder"/*.html; do
  tidy -e -q "$page" >"$work/tidy" 2>&1
  if grep -q 'Error:' "$work/tidy"; then
    fail "tidy finds errors in $(basename "$page"): $(grep 'Error:' "$work/tidy" | head -3)"
  fi
  grep -q '<my' "$page" && fail "$(basename "$page") keeps a placeholder: $(grep -o '<my[a-z]*>' "$page" | head -1)"
done

has() { grep -qF -- "$2" "$folder/$1" || fail "$1 lacks: $2"; }
# The run's order is the folder list's: bergsee, blumen, leuchtturm.
has bergsee.html 'id="prev" rel="prev" href=""'
has bergsee.html 'id="next" rel="next" href="blumen.html"'
has bergsee.html '<span class="count">1 / 3</span>'
has blumen.html 'href="bergsee.html"'
has blumen.html 'href="leuchtturm.html"'
has blumen.html '<span class="count">2 / 3</span>'
has leuchtturm.html 'id="prev" rel="prev" href="blumen.html"'
has leuchtturm.html 'id="next" rel="next" href=""'
has leuchtturm.html '<span class="count">3 / 3</span>'
# The big picture and the thumbnails with the one-line alt text, emphasis removed.
has bergsee.html '<img src="bergsee.jpg" srcset="bergsee.jpg 640w" sizes="(max-width: 40rem) min(calc(100vw - 1.5rem), 640px, calc((100vh - 9rem) * 640 / 427)), '
has bergsee.html 'width="640" height="427" alt="Der Bergsee am Morgen Die Gipfel'
has index.html '<img src="t_bergsee.jpg" width="180" height="120" alt="Der Bergsee am Morgen Die Gipfel'
has index.html '<img src="t_leuchtturm.gif" width="180" height="135" alt="" loading="eager">'
# Without description.txt the overview is described by its title, a picture page without a text by
# its name; neither description is left empty.
has index.html "<meta name=\"description\" content=\"$(cat "$src/demo/title.txt")\">"
has bergsee.html '<meta name="description" content="Der Bergsee am Morgen Die Gipfel'
has leuchtturm.html '<meta name="description" content="leuchtturm">'
has index.html '<span class="text">Fünf Blumen auf der Wiese</span>'
has index.html 'title="2 / 3"'
# The keys: the script follows the links named prev, next and up; without it the links still work.
has blumen.html 'ArrowLeft: "prev", ArrowRight: "next", Escape: "up"'
has blumen.html '<a id="up" href="index.html">'
echo "sample templates: $(ls "$folder"/*.html | wc -l) pages pass tidy"

command -v chromium >/dev/null || { echo "SKIP: chromium is not installed, no screenshots"; exit 77; }
command -v pngtopnm >/dev/null || { echo "SKIP: netpbm is not installed, screenshots not checked"; exit 77; }
mkdir -p "$shots"
# shot <page> <width> <height> <name>: the page as headless Chromium draws it.
shot() {
  local out="$shots/sample-$4.png"
  rm -f "$out"
  chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --user-data-dir="$work/chromium" \
    --screenshot="$out" --window-size="$2,$3" "file://$folder/$1" >"$work/chromium.log" 2>&1
  [[ -s "$out" ]] || fail "no screenshot of $1 at $2 x $3: $(tail -3 "$work/chromium.log")"
  [[ "$(pngtopnm "$out" | pnmfile)" == *"$2 by $3"* ]] || fail "the screenshot of $1 is not $2 x $3"
  # A page drawn with its pictures has many colours; an empty or broken one has few.
  (($(pngtopnm "$out" | ppmhist -noheader | wc -l) > 50)) || fail "the screenshot of $1 at $2 x $3 looks empty"
  echo "screenshot $out"
}
shot index.html 390 844 overview-phone
shot index.html 1280 800 overview-desktop
shot blumen.html 390 844 picture-phone
shot blumen.html 1280 800 picture-desktop
