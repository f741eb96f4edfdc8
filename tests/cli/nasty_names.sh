#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A gallery of pictures whose names hold the characters that break pages ("#", "?", "%", "&", '"',
# "<", blanks, umlauts) and whose texts hold quotes and Linux line breaks, made with the sample
# templates: every page passes tidy without errors, and every src and href, URL-decoded, names a
# file of the folder.
# Arguments: <quillmoor-make> <source tree>
set -u -o pipefail
make_bin=$1
src=$2
command -v tidy >/dev/null || { echo "SKIP: tidy is not installed"; exit 77; }

work=$(mktemp -d "${TMPDIR:-/tmp}/qlm-names.XXXXXX")
trap 'rm -rf "$work"' EXIT
folder=$work/galerie
mkdir "$folder"
fail() { echo "FAIL: $*" >&2; exit 1; }

names=('Foto #1.jpg' 'Was?.png' '100% Sonne.gif' 'Salz & Pfeffer.jpg' 'Er sagte "Hallo".png'
  'a<b>c.jpg' 'Größe über Äcker.jpg' 'plain_name-1.jpg')
sources=(bergsee.jpg blumen.png leuchtturm.gif nacht.jpg blumen.png wald.jpg sonnenuntergang.jpg bergsee.jpg)
for i in "${!names[@]}"; do
  cp "$src/demo/${sources[i]}" "$folder/${names[i]}"
  cp "$src/demo/${sources[i]}" "$folder/t_${names[i]}"
  base=${names[i]%.*}
  printf 'Zeile eins mit "Zitat"\nZeile <i>zwei</i>\n' >"$folder/$base.txt"
done
printf 'Titel & "Anführung"' >"$folder/title.txt"

"$make_bin" --no-ask --img-with-alt --templates "$src/templates" "$folder" >"$work/out" 2>&1 ||
  fail "quillmoor-make failed: $(cat "$work/out")"

# What a browser fetches for an attribute value: the character references resolved, the fragment
# ("#...") and the query ("?...") cut off, the rest URL-decoded.
decode() {
  local value=$1
  value=${value//&quot;/\"}
  value=${value//&lt;/<}
  value=${value//&gt;/>}
  value=${value//&amp;/\&}
  value=${value%%#*}
  value=${value%%\?*}
  printf '%b' "${value//%/\\x}"
}

checked=0
for page in "$folder"/*.html; do
  tidy -e -q "$page" >"$work/tidy" 2>&1
  if grep -q 'Error:' "$work/tidy"; then
    fail "tidy finds errors in $(basename "$page"): $(grep 'Error:' "$work/tidy" | head -3)"
  fi
  while IFS= read -r link; do
    [[ "$link" == data:* ]] && continue # an inline icon, no file
    target=$(decode "$link")
    [[ -e "$folder/$target" ]] || fail "$(basename "$page") links to '$link', which is no file of the folder"
    checked=$((checked + 1))
  done < <(grep -o -E '(src|href)="[^"]*"' "$page" | sed -E 's/^(src|href)="(.*)"$/\2/')
done
# Every picture page links its picture and the overview; the overview links every page and thumbnail.
((checked >= 4 * ${#names[@]})) || fail "only $checked links checked"
grep -qF 'alt="Zeile eins mit &quot;Zitat&quot; Zeile zwei "' "$folder/index.html" ||
  fail "the alt text in index.html is not one escaped line"
grep -qF '<figcaption>Zeile eins mit "Zitat"<BR>Zeile <i>zwei</i><BR></figcaption>' "$folder/Was?.html" ||
  fail "the page text of Was?.html lost its line breaks"
echo "passed: ${#names[@]} pictures, $checked links, every page tidy"
