#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Publishing a gallery of photos that carry a position, serial numbers, an owner, comments, a place
# in XMP and IPTC and a preview: every published picture (originals, thumbnails, web copies) has
# none of it left, keeps its orientation, author and copyright notice, and decodes to the same
# pixels; a picture that cannot be followed to its end is not published and is named; the picture
# folder itself is left exactly as it was.
# Arguments: <quillmoor-make> <source tree>
set -u -o pipefail
make_bin=$1
src=$2
fail() { echo "FAIL: $*" >&2; exit 1; }
for tool in exiftool djpeg ppmmake cjpeg; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/qlm-publish.XXXXXX")
trap 'rm -rf "$work"' EXIT
folder=$work/fotos
www=$work/www
mkdir "$folder"
cp "$src/demo/nacht.jpg" "$src/demo/blumen.png" "$src/demo/leuchtturm.gif" "$folder/"
ppmmake rgb:c0/80/40 2400 1800 | cjpeg -quality 85 >"$folder/strand.jpg"
tag() {
  exiftool -q -overwrite_original "$@" >/dev/null || fail "exiftool could not tag: $*"
}
tag -GPSLatitude=54.3233 -GPSLatitudeRef=N -GPSLongitude=10.1228 -GPSLongitudeRef=E \
  -SerialNumber=CAM123456 -LensSerialNumber=LENS987 -OwnerName="Erika Mustermann" \
  -Comment="Home: Musterweg 5, Kiel" -XMP:City=Kiel -IPTC:City=Kiel -IPTC:Sub-location=Musterweg \
  -Artist="Erika Mustermann" -Copyright="(c) 2026 Erika Mustermann" -Orientation#=6 \
  "$folder/strand.jpg" "$folder/nacht.jpg"
tag "-ThumbnailImage<=$src/demo/t_nacht.jpg" "$folder/nacht.jpg"
tag -PNG:Comment="Home: Musterweg 5, Kiel" -XMP:City=Kiel "$folder/blumen.png"
tag -Comment="Home: Musterweg 5, Kiel" "$folder/leuchtturm.gif"
# A cut photo: shown by the decoder as far as it goes, but its end cannot be followed.
head -c 3000 "$src/demo/wald.jpg" >"$folder/wald.jpg"
cp "$src/demo/t_wald.jpg" "$folder/"
printf 'Urlaub' >"$folder/title.txt"
(cd "$folder" && find . -type f -exec md5sum {} + | sort) >"$work/before"

"$make_bin" --no-ask --make-thumbnails --make-web-pictures --templates "$src/templates" --publish "$www" \
  "$folder" >"$work/out" 2>&1
status=$?
(cd "$folder" && find . -type f ! -name '*.html' ! -name 't_*' ! -path './qlm-web/*' -exec md5sum {} + | sort) \
  >"$work/after"
grep -v -e '\.html$' -e ' \./t_' -e 'qlm-web/' "$work/before" | diff - "$work/after" >/dev/null ||
  fail "publishing changed the picture folder"
[ "$status" -eq 1 ] || fail "the cut photo should make the run end with 1, got $status: $(cat "$work/out")"
grep -q 'wald.jpg' "$work/out" || fail "the cut photo is not named: $(cat "$work/out")"
[ -e "$www/wald.jpg" ] && fail "the cut photo was published"
[ -s "$www/index.html" ] || fail "nothing published: $(cat "$work/out")"

pictures=$(cd "$www" && find . -type f \( -name '*.jpg' -o -name '*.png' -o -name '*.gif' \) | sort)
[ "$(echo "$pictures" | wc -l)" -ge 10 ] || fail "too few pictures published: $pictures"
for picture in $pictures; do
  left=$(exiftool -a -G1 -s -GPS:all -SerialNumber -LensSerialNumber -InternalSerialNumber -OwnerName \
    -Comment -City -Sub-location -ThumbnailImage -PreviewImage -MakerNotes -XMP:all -IPTC:all \
    "$www/$picture")
  [ -z "$left" ] || fail "$picture still says: $left"
done
for photo in strand.jpg nacht.jpg; do
  [ "$(exiftool -s3 -n -Orientation "$www/$photo")" = 6 ] || fail "$photo lost its orientation"
  [ "$(exiftool -s3 -Artist "$www/$photo")" = "Erika Mustermann" ] || fail "$photo lost its author"
  [ "$(exiftool -s3 -Copyright "$www/$photo")" = "(c) 2026 Erika Mustermann" ] || fail "$photo lost its copyright"
  cmp -s <(djpeg -ppm "$folder/$photo") <(djpeg -ppm "$www/$photo") || fail "$photo's pixels changed"
done

# Publishing again writes nothing; a picture dropped from the run is withdrawn.
"$make_bin" --no-ask --templates "$src/templates" --publish "$www" "$folder" nacht.jpg strand.jpg blumen.png \
  >"$work/again" 2>&1 || fail "publishing again failed: $(cat "$work/again")"
grep -q 'published: 0 written' "$work/again" && fail "nothing should be unchanged for a run over fewer pictures"
[ -e "$www/leuchtturm.gif" ] && fail "leuchtturm.gif is no longer linked but still published"
[ -s "$www/nacht.jpg" ] || fail "nacht.jpg was withdrawn"
echo "published pictures carry no position, serial number, owner, comment or place"
