#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Publishing against copying: a folder of 40 photos of 12 megapixels (each tagged with a position,
# serial numbers, an owner and a comment, as a camera and a photo manager leave them) with its
# thumbnails and pages made, published with `quillmoor-make --publish` into a fresh folder (the
# run over the unchanged gallery and the `sync` that follows included), against `cp -r` of the
# same files plus `sync`; then publishing again into the same folder, which should write nothing.
#
#   sh bench/publish_vs_cp.sh [BUILD_DIR]        (default build/; QLM_BENCH_REPEATS=3)
#
# Needs netpbm, libjpeg-turbo-progs and exiftool:
#   apt-get install netpbm libjpeg-turbo-progs libimage-exiftool-perl
# `sync` flushes the whole machine: run it on an otherwise idle one.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
repeats=${QLM_BENCH_REPEATS:-3}
make_bin="$build/cli/quillmoor-make"
for tool in pgmnoise pamscale rgb3toppm cjpeg exiftool; do
    command -v "$tool" >/dev/null 2>&1 ||
        { echo "$tool is missing (packages netpbm, libjpeg-turbo-progs, libimage-exiftool-perl)" >&2; exit 1; }
done
[ -x "$make_bin" ] || { echo "$make_bin is missing: build first (cmake --build $build)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/quillmoor-publish.XXXXXX")
trap 'rm -rf "$work"; sync' EXIT

# A photo of 4000 x 3000 pixels whose detail compresses like a camera's (3 to 5 MB), tagged.
for channel in 1 2 3; do
    pgmnoise -randomseed=$channel 1000 750 | pamscale 4 > "$work/c$channel.pgm"
done
rgb3toppm "$work/c1.pgm" "$work/c2.pgm" "$work/c3.pgm" | cjpeg -quality 92 > "$work/photo.jpg"
exiftool -q -overwrite_original -GPSLatitude=54.3233 -GPSLatitudeRef=N -GPSLongitude=10.1228 \
    -GPSLongitudeRef=E -SerialNumber=CAM123456 -OwnerName="Erika Mustermann" \
    -Comment="Home: Musterweg 5, Kiel" -Artist="Erika Mustermann" "$work/photo.jpg"
gallery="$work/gallery"
mkdir "$gallery"
i=1
while [ "$i" -le 40 ]; do
    cp "$work/photo.jpg" "$gallery/foto$(printf %02d "$i").jpg"
    i=$((i + 1))
done
"$make_bin" --no-ask --make-thumbnails --templates "$root/templates" "$gallery" > /dev/null
echo "gallery: $(du -sh "$gallery" | cut -f1) in $(ls "$gallery" | wc -l) files"
sync

now() { date +%s%N; }
ms() { echo "$(($1 / 1000000))"; }
r=1
while [ "$r" -le "$repeats" ]; do
    rm -rf "$work/www" "$work/copy"
    sync
    start=$(now); cp -r "$gallery" "$work/copy"; sync; end=$(now)
    copy=$((end - start))
    rm -rf "$work/copy"
    sync
    start=$(now)
    "$make_bin" --no-ask --templates "$root/templates" --publish "$work/www" "$gallery" > /dev/null 2>&1
    sync
    end=$(now)
    first=$((end - start))
    start=$(now)
    "$make_bin" --no-ask --templates "$root/templates" --publish "$work/www" "$gallery" > "$work/again" 2>&1
    end=$(now)
    again=$((end - start))
    echo "repetition $r: copy $(ms $copy) ms, publishing $(ms $first) ms ($(awk "BEGIN { printf \"%.2f\", $first / $copy }") x)," \
        "again $(ms $again) ms ($(awk "BEGIN { printf \"%.2f\", $again / $copy }") x): $(grep published: "$work/again")"
    r=$((r + 1))
done
