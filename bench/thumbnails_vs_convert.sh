#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Thumbnail benchmark: times quillmoor-make --make-thumbnails (the thumbnails of every photo, then
# the pages) over a folder of 12-megapixel JPEG photos against ImageMagick's
# `convert -thumbnail 200x200` over the same files one after another, the usual way to make them.
# ImageMagick is the reference only; nothing of Quillmoor uses it.
#
#   sh bench/thumbnails_vs_convert.sh [BUILD_DIR]      (default build/)
#   QLM_BENCH_PICTURES=40 QLM_BENCH_REPEATS=3 sh bench/thumbnails_vs_convert.sh
#   QLM_BENCH_CONVERT=/path/to/convert sh bench/thumbnails_vs_convert.sh
#
# The photos are made here from noise and gradients (netpbm, cjpeg -quality 90); a few distinct
# ones are copied to make up the number, which changes nothing for the decoders.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
pictures=${QLM_BENCH_PICTURES:-40}
distinct=${QLM_BENCH_DISTINCT:-4}
repeats=${QLM_BENCH_REPEATS:-3}
make_bin="$build/cli/quillmoor-make"
width=4000
height=3000

# The Debian package's convert, unless another is named: a convert earlier on the PATH may be
# something else of the same name.
convert_bin=${QLM_BENCH_CONVERT:-/usr/bin/convert}
for tool in pgmnoise pgmramp pamscale pamfunc pamarith rgb3toppm cjpeg "$convert_bin"; do
    command -v "$tool" >/dev/null 2>&1 || { echo "$tool is missing (packages netpbm, libjpeg-turbo-progs, imagemagick)" >&2; exit 1; }
done
[ -x "$make_bin" ] || { echo "$make_bin is missing: build first (cmake --build $build --target quillmoor-make)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/quillmoor-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
folder="$work/photos"
mkdir "$folder" "$work/convert"

# One colour channel of a photo-like picture: soft light, a ramp and fine grain.
channel() {
    pgmnoise -randomseed="$1" $((width / 400)) $((height / 400)) |
        pamscale -xsize $width -ysize $height -filter=triangle | pamfunc -multiplier=0.55 > "$work/light.pgm"
    pgmramp "-$2" $width $height | pamfunc -multiplier=0.35 > "$work/ramp.pgm"
    pgmnoise -randomseed=$(($1 + 7)) $width $height | pamfunc -multiplier=0.10 > "$work/grain.pgm"
    pamarith -add "$work/light.pgm" "$work/ramp.pgm" > "$work/sum.pgm"
    pamarith -add "$work/sum.pgm" "$work/grain.pgm"
}

echo "Making $distinct distinct photos of ${width}x$height pixels, $pictures files ..."
i=1
while [ "$i" -le "$distinct" ]; do
    channel $((i * 3)) lr > "$work/r.pgm"
    channel $((i * 3 + 1)) tb > "$work/g.pgm"
    channel $((i * 3 + 2)) diagonal > "$work/b.pgm"
    rgb3toppm "$work/r.pgm" "$work/g.pgm" "$work/b.pgm" | cjpeg -quality 90 -outfile "$work/distinct$i.jpg"
    i=$((i + 1))
done
rm -f "$work"/*.pgm
i=1
while [ "$i" -le "$pictures" ]; do
    cp "$work/distinct$(( (i - 1) % distinct + 1 )).jpg" "$folder/$(printf 'foto%02d' "$i").jpg"
    i=$((i + 1))
done
printf 'Benchmark' > "$folder/title.txt"
echo "Photos: $(du -sh "$folder" | cut -f1) in $(ls "$folder"/*.jpg | wc -l) JPEG files, $(nproc) cores"

now() { date +%s%N; }

run_make() {
    rm -f "$folder"/t_*
    "$make_bin" --no-ask --make-thumbnails --templates "$root/templates" "$folder" > /dev/null 2>&1
}

# The same run with every thumbnail already there: what the pages alone cost.
run_pages() {
    "$make_bin" --no-ask --make-thumbnails --templates "$root/templates" "$folder" > /dev/null 2>&1
}

run_convert() {
    for file in "$folder"/foto*.jpg; do
        "$convert_bin" "$file" -thumbnail 200x200 "$work/convert/t_$(basename "$file")"
    done
}

# Warm the file cache for both, then time them alternately.
run_make
run_convert
[ "$(ls "$folder"/t_*.jpg | wc -l)" -eq "$pictures" ] || { echo "quillmoor-make made no thumbnails" >&2; exit 1; }
make_times=""
pages_times=""
convert_times=""
r=1
while [ "$r" -le "$repeats" ]; do
    start=$(now); run_make; end=$(now)
    make_times="$make_times $((end - start))"
    start=$(now); run_pages; end=$(now)
    pages_times="$pages_times $((end - start))"
    start=$(now); run_convert; end=$(now)
    convert_times="$convert_times $((end - start))"
    r=$((r + 1))
done

echo "$make_times | $convert_times | $pages_times" | awk -v n="$pictures" -v reps="$repeats" '{
    split($0, parts, "\\|")
    cm = split(parts[1], m, " "); cc = split(parts[2], c, " "); cp = split(parts[3], p, " ")
    bm = m[1]; bc = c[1]; bp = p[1]; sm = 0; sc = 0; sp = 0
    for (i = 1; i <= cm; i++) { sm += m[i]; if (m[i] < bm) bm = m[i] }
    for (i = 1; i <= cc; i++) { sc += c[i]; if (c[i] < bc) bc = c[i] }
    for (i = 1; i <= cp; i++) { sp += p[i]; if (p[i] < bp) bp = p[i] }
    printf "\nThumbnails of %d photos of 12 megapixels, %d repetitions (wall time):\n", n, reps
    printf "                                          best        mean\n"
    printf "  quillmoor-make --make-thumbnails   %9.1f ms %9.1f ms   (thumbnails and pages)\n", bm / 1e6, sm / cm / 1e6
    printf "  the same, every thumbnail there    %9.1f ms %9.1f ms   (pages only)\n", bp / 1e6, sp / cp / 1e6
    printf "  convert -thumbnail 200x200, each   %9.1f ms %9.1f ms\n", bc / 1e6, sc / cc / 1e6
    printf "  ratio quillmoor-make / convert (best): %.3f   (goal: at most 0.6)\n", bm / bc
}'
