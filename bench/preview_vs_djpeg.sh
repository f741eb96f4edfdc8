#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Preview benchmark: the preview of one 24-megapixel photo (decode, smooth scaling, placing) must
# cost at most 1.2 times `djpeg -scale 1/8` of the same file, so that moving through a folder of
# such photos with the arrow keys feels immediate.
#
#   sh bench/preview_vs_djpeg.sh [BUILD_DIR] [COUNT]      (default build/, 10 per round)
#   QLM_BENCH_ROUNDS=9 sh bench/preview_vs_djpeg.sh       (default 5 rounds)
#
# djpeg runs as one process per picture, so its times include starting a process; the time of
# djpeg on a tiny picture is printed too, and the ratio without that start.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/bench/photos.sh"
build=${1:-$root/build}
count=${2:-10}
rounds=${QLM_BENCH_ROUNDS:-5}
timing="$build/bench/preview_load_timing"
width=6000
height=4000

for tool in cjpeg djpeg awk; do
    command -v "$tool" >/dev/null 2>&1 || { echo "$tool is missing (package libjpeg-turbo-progs)" >&2; exit 1; }
done
[ -x "$timing" ] || { echo "$timing is missing: build the target preview_load_timing first" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/quillmoor-preview.XXXXXX")
trap 'rm -rf "$work"' EXIT

"$timing" --make-ppm "$work/photo.ppm" $width $height
cjpeg -quality 90 -outfile "$work/photo.jpg" "$work/photo.ppm"
"$timing" --make-ppm "$work/tiny.ppm" 8 8
cjpeg -outfile "$work/tiny.jpg" "$work/tiny.ppm"
rm -f "$work/photo.ppm" "$work/tiny.ppm"
echo "Photo: ${width}x$height, $(du -k "$work/photo.jpg" | cut -f1) KB JPEG; $rounds rounds of $count runs each"

now() { date +%s%N; }

# Other programs on the machine disturb single figures, so both are timed in alternating rounds
# and the rounds' median and best means are compared.
ours_rounds=""
djpeg_rounds=""
start_rounds=""
round=1
while [ $round -le "$rounds" ]; do
    ours=$(QT_QPA_PLATFORM=offscreen "$timing" "$work/photo.jpg" "$count" 2>"$work/timing.log") ||
        { cat "$work/timing.log" >&2; exit 1; }
    ours_rounds="$ours_rounds $ours"
    djpeg_rounds="$djpeg_rounds $(djpeg_ms "$work/photo.jpg" "$count")"
    start_rounds="$start_rounds $(djpeg_ms "$work/tiny.jpg" "$count")"
    round=$((round + 1))
done

awk -v o="$ours_rounds" -v d="$djpeg_rounds" -v s="$start_rounds" '
function sorted(text, a,   n, i, j, t) {
    n = split(text, a, " ")
    for (i = 2; i <= n; i++) for (j = i; j > 1 && a[j - 1] > a[j]; j--) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t }
    return n
}
function median(a, n) { return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2 }
BEGIN {
    n = sorted(o, ours); sorted(d, dj); sorted(s, st)
    mo = median(ours, n); md = median(dj, n); ms = median(st, n)
    printf "                                  median      best  (ms per picture)\n"
    printf "preview (PicturePreview::Load):  %8.2f  %8.2f\n", mo, ours[1]
    printf "djpeg -scale 1/8:                %8.2f  %8.2f\n", md, dj[1]
    printf "djpeg on an 8x8 picture (start): %8.2f  %8.2f\n", ms, st[1]
    printf "ratio preview / djpeg:           %8.2f  %8.2f   (limit 1.20)\n", mo / md, ours[1] / dj[1]
    if (md > ms && dj[1] > st[1])
        printf "ratio without djpeg'"'"'s start:     %8.2f  %8.2f\n", mo / (md - ms), ours[1] / (dj[1] - st[1])
    exit (mo / md <= 1.2 ? 0 : 1)
}'
