#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Peak memory of the window showing a 100-megapixel interlaced PNG (10000 x 10000, photo-like) in
# its preview: the window starts in a folder that holds only that picture, focuses it, waits until
# it is on view and ends. Goal: at most 150 MB (the whole process's peak resident size). The same
# window with a small picture is measured too, for what the window itself takes.
#
#   sh bench/preview_memory.sh [BUILD_DIR]          (default build/)
#   QLM_BENCH_REPEATS=5 sh bench/preview_memory.sh  (default 3)
#
# Needs pnmtopng (package netpbm); making the PNG takes a minute or two.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
repeats=${QLM_BENCH_REPEATS:-3}
timing="$build/bench/browse_timing"
maker="$build/bench/preview_load_timing"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

command -v pnmtopng >/dev/null 2>&1 || { echo "pnmtopng is missing (package netpbm)" >&2; exit 1; }
for bin in "$timing" "$maker"; do
    [ -x "$bin" ] || { echo "$bin is missing: build first (cmake --build $build)" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/quillmoor-memory.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/big" "$work/small"
echo "Making a 10000x10000 interlaced PNG ..."
"$maker" --make-ppm "$work/photo.ppm" 10000 10000
pnmtopng -interlace "$work/photo.ppm" > "$work/big/photo.png"
"$maker" --make-ppm "$work/small.ppm" 64 48
pnmtopng "$work/small.ppm" > "$work/small/photo.png"
rm -f "$work/photo.ppm" "$work/small.ppm"
echo "PNG: $(du -k "$work/big/photo.png" | cut -f1) KB"

# peak resident kilobytes of the window showing the picture in FOLDER
peak_kb() {
    "$timing" "$1" "$root/templates" 0 2>"$work/timing.log" || { cat "$work/timing.log" >&2; exit 1; }
}

big=""
small=""
r=1
while [ "$r" -le "$repeats" ]; do
    big="$big $(peak_kb "$work/big")"
    small="$small $(peak_kb "$work/small")"
    r=$((r + 1))
done

awk -v b="$big" -v s="$small" '
function stats(text, out,   n, i, a) {
    n = split(text, a, " "); out["best"] = a[1]; out["sum"] = 0
    for (i = 1; i <= n; i++) { out["sum"] += a[i]; if (a[i] < out["best"]) out["best"] = a[i] }
    out["mean"] = out["sum"] / n
}
BEGIN {
    stats(b, kb); stats(s, ks)
    printf "                                        best       mean  (MB, peak resident)\n"
    printf "window previewing the 100 MP PNG:  %8.1f   %8.1f   (goal: at most 150)\n", kb["best"] / 1024, kb["mean"] / 1024
    printf "window previewing a 64x48 PNG:     %8.1f   %8.1f\n", ks["best"] / 1024, ks["mean"] / 1024
    exit (kb["mean"] / 1024 <= 150 ? 0 : 1)
}'
