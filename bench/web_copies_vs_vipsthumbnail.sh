#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Web copy benchmark: times quillmoor-make --make-web-pictures (the copies of every photo at the
# default sizes 800 and 1600, then the pages) over a folder of 12-megapixel JPEG photos against
# libvips' vipsthumbnail making the same sizes, one process per size over all the photos, the
# usual way to make them (progressive, quality 82, metadata stripped, like the copies).
# libvips is the reference only; nothing of Quillmoor uses it.
#
#   sh bench/web_copies_vs_vipsthumbnail.sh [BUILD_DIR]      (default build/)
#   QLM_BENCH_PICTURES=40 QLM_BENCH_DISTINCT=4 QLM_BENCH_REPEATS=5 sh bench/web_copies_vs_vipsthumbnail.sh
#
# The two are timed in interleaved pairs, so that a change of the machine's load hits both alike;
# the medians are compared. The run with every copy there is timed too: what the pages alone cost.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
pictures=${QLM_BENCH_PICTURES:-40}
distinct=${QLM_BENCH_DISTINCT:-4}
repeats=${QLM_BENCH_REPEATS:-5}
make_bin="$build/cli/quillmoor-make"
. "$root/bench/photos.sh"

check_photo_tools
if ! command -v vipsthumbnail >/dev/null 2>&1; then
    echo "Installing libvips-tools for the reference ..."
    apt-get install -y libvips-tools >/dev/null || { echo "vipsthumbnail is missing (package libvips-tools)" >&2; exit 1; }
fi
[ -x "$make_bin" ] || { echo "$make_bin is missing: build first (cmake --build $build --target quillmoor-make)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/quillmoor-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
folder="$work/photos"
mkdir "$work/distinct" "$folder" "$work/vips"
make_photos "$work/distinct" "$distinct" "$work"
i=1
while [ "$i" -le "$pictures" ]; do
    cp "$work/distinct/$(printf 'foto%02d' $(( (i - 1) % distinct + 1 ))).jpg" "$folder/$(printf 'foto%02d' "$i").jpg"
    i=$((i + 1))
done
printf 'Benchmark' > "$folder/title.txt"
echo "Photos: $(du -sh "$folder" | cut -f1) in $(ls "$folder"/*.jpg | wc -l) JPEG files, $(nproc) cores"

now() { date +%s%N; }

run_make() {
    rm -rf "$folder/qlm-web"
    "$make_bin" --no-ask --make-web-pictures --templates "$root/templates" "$folder" > /dev/null 2>&1
}

run_pages() {
    "$make_bin" --no-ask --make-web-pictures --templates "$root/templates" "$folder" > /dev/null 2>&1
}

run_vips() {
    rm -f "$work/vips"/*
    for size in 800 1600; do
        vipsthumbnail --size "$size" -o "$work/vips/%s_$size.jpg[Q=82,interlace,strip]" "$folder"/foto*.jpg
    done
}

# Warm the file cache for both, then time them in pairs.
run_make
run_vips
[ "$(ls "$folder/qlm-web" | wc -l)" -eq $((pictures * 2)) ] || { echo "quillmoor-make made no web copies" >&2; exit 1; }
echo "Copies: $(du -sh "$folder/qlm-web" | cut -f1) from quillmoor-make, $(du -sh "$work/vips" | cut -f1) from vipsthumbnail"
times=""
r=1
while [ "$r" -le "$repeats" ]; do
    start=$(now); run_make; middle=$(now); run_vips; end=$(now)
    run_pages; pages=$(now)
    times="$times $((middle - start)):$((end - middle)):$((pages - end))"
    r=$((r + 1))
done

echo "$times" | tr ' ' '\n' | grep : | awk -F: -v n="$pictures" -v reps="$repeats" -v load="$(cut -d' ' -f1-3 /proc/loadavg)" '
    { m[NR] = $1; v[NR] = $2; p[NR] = $3; r[NR] = $1 / $2 }
    function median(a, count,    i, j, t) {
        for (i = 1; i <= count; i++) for (j = i + 1; j <= count; j++) if (a[j] < a[i]) { t = a[i]; a[i] = a[j]; a[j] = t }
        return count % 2 ? a[(count + 1) / 2] : (a[count / 2] + a[count / 2 + 1]) / 2
    }
    END {
        printf "\nWeb copies (800 and 1600) of %d photos of 12 megapixels, %d interleaved pairs (wall time, median):\n", n, reps
        printf "  quillmoor-make --make-web-pictures  %9.1f ms   (copies and pages)\n", median(m, NR) / 1e6
        printf "  the same, every copy there          %9.1f ms   (pages only)\n", median(p, NR) / 1e6
        printf "  vipsthumbnail, one run per size     %9.1f ms\n", median(v, NR) / 1e6
        printf "  ratio quillmoor-make / vipsthumbnail (median of the pairs): %.3f   (goal: at most about 1)\n", median(r, NR)
        printf "  load average (1, 5, 15 min) at the end: %s\n", load
    }'
