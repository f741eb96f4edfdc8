#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Cursor keys through a folder of 24-megapixel photos: once the pictures beside the focused one are
# decoded (the window does that on its second thread), one press of Down, until the preview has
# painted the next photo, must cost at most 0.3 times `djpeg -scale 1/8` of one of the photos.
#
#   sh bench/browse_vs_djpeg.sh [BUILD_DIR] [STEPS]      (default build/, 10 steps per round)
#   QLM_BENCH_ROUNDS=9 sh bench/browse_vs_djpeg.sh       (default 5 rounds)
#
# The folder holds one photo under STEPS + 1 names (hard links): each name is decoded on its own.
# djpeg runs as one process per picture, so its times include starting a process; the time of
# djpeg on a tiny picture is printed too. The window runs on the offscreen platform unless
# DISPLAY is set and QT_QPA_PLATFORM says xcb.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/bench/photos.sh"
build=${1:-$root/build}
steps=${2:-10}
rounds=${QLM_BENCH_ROUNDS:-5}
timing="$build/bench/browse_timing"
maker="$build/bench/preview_load_timing"
width=6000
height=4000
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

for tool in cjpeg djpeg awk; do
    command -v "$tool" >/dev/null 2>&1 || { echo "$tool is missing (package libjpeg-turbo-progs)" >&2; exit 1; }
done
for bin in "$timing" "$maker"; do
    [ -x "$bin" ] || { echo "$bin is missing: build first (cmake --build $build)" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/quillmoor-browse.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/photos"
"$maker" --make-ppm "$work/photo.ppm" $width $height
cjpeg -quality 90 -outfile "$work/photo.jpg" "$work/photo.ppm"
"$maker" --make-ppm "$work/tiny.ppm" 8 8
cjpeg -outfile "$work/tiny.jpg" "$work/tiny.ppm"
rm -f "$work/photo.ppm" "$work/tiny.ppm"
i=0
while [ $i -le "$steps" ]; do
    ln "$work/photo.jpg" "$work/photos/$(printf 'foto%03d.jpg' $i)"
    i=$((i + 1))
done
echo "Photo: ${width}x$height, $(du -k "$work/photo.jpg" | cut -f1) KB JPEG; $rounds rounds of $steps steps"

now() { date +%s%N; }

# Other programs on the machine disturb single figures, so both are timed in alternating rounds.
best_rounds=""
mean_rounds=""
djpeg_rounds=""
start_rounds=""
round=1
while [ $round -le "$rounds" ]; do
    result=$("$timing" "$work/photos" "$root/templates" "$steps" 2>"$work/timing.log") ||
        { cat "$work/timing.log" >&2; exit 1; }
    best_rounds="$best_rounds ${result% *}"
    mean_rounds="$mean_rounds ${result#* }"
    djpeg_rounds="$djpeg_rounds $(djpeg_ms "$work/photo.jpg" "$steps")"
    start_rounds="$start_rounds $(djpeg_ms "$work/tiny.jpg" "$steps")"
    round=$((round + 1))
done

awk -v b="$best_rounds" -v m="$mean_rounds" -v d="$djpeg_rounds" -v s="$start_rounds" '
function stats(text, out,   n, i, a) {
    n = split(text, a, " "); out["best"] = a[1]; out["sum"] = 0
    for (i = 1; i <= n; i++) { out["sum"] += a[i]; if (a[i] < out["best"]) out["best"] = a[i] }
    out["mean"] = out["sum"] / n
}
BEGIN {
    stats(b, kb); stats(m, km); stats(d, dj); stats(s, st)
    printf "                                      best      mean  (ms)\n"
    printf "cursor Down, neighbour ready:     %8.2f  %8.2f\n", kb["best"], km["mean"]
    printf "djpeg -scale 1/8 (one photo):     %8.2f  %8.2f\n", dj["best"], dj["mean"]
    printf "djpeg on an 8x8 picture (start):  %8.2f  %8.2f\n", st["best"], st["mean"]
    printf "ratio cursor Down / djpeg:        %8.2f  %8.2f   (goal: at most 0.30)\n", kb["best"] / dj["best"], km["mean"] / dj["mean"]
    exit (km["mean"] / dj["mean"] <= 0.3 ? 0 : 1)
}'
