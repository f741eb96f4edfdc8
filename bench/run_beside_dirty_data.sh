#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# What a run pays for other programs' unwritten data: times quillmoor-make --no-ask's first run
# (no pages yet) over a folder of 12-megapixel photos with thumbnails, once on a quiet file system
# and once right after another program wrote a large file without syncing it on the same file
# system, in interleaved pairs. A run that flushes only its own files costs about the same in both.
#
#   sh bench/run_beside_dirty_data.sh [BUILD_DIR]      (default build/)
#   QLM_BENCH_PICTURES=40 QLM_BENCH_REPEATS=7 QLM_BENCH_DIRTY_MB=1500 sh bench/run_beside_dirty_data.sh
#   QLM_BENCH_PHOTOS=FOLDER sh bench/run_beside_dirty_data.sh   (copies those photos instead of making them)
#
# Needs netpbm and libjpeg-turbo-progs (apt-get install netpbm libjpeg-turbo-progs). The photos and
# the large file are made in a temporary folder (TMPDIR) that is removed at the end; it needs room
# for the large file.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
pictures=${QLM_BENCH_PICTURES:-40}
repeats=${QLM_BENCH_REPEATS:-7}
dirty_mb=${QLM_BENCH_DIRTY_MB:-1500}
make_bin="$build/cli/quillmoor-make"
. "$root/bench/photos.sh"

check_photo_tools
[ -x "$make_bin" ] || { echo "$make_bin is missing: build first (cmake --build $build)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/quillmoor-dirty.XXXXXX")
trap 'rm -rf "$work"' EXIT
folder="$work/photos"
mkdir "$folder"
if [ -n "${QLM_BENCH_PHOTOS:-}" ]; then
    cp "$QLM_BENCH_PHOTOS"/*.jpg "$QLM_BENCH_PHOTOS"/*.txt "$folder"/
    pictures=$(ls "$folder"/*.jpg | grep -vc '/t_')
else
    make_photos "$folder" "$pictures" "$work"
fi

now() { date +%s%N; }
run_make() { "$make_bin" --no-ask --templates "$root/templates" "$folder" > /dev/null; }
clear_pages() { rm -f "$folder"/*.html "$folder"/*.bak; }
# Another program's large file, written and left to the kernel to flush.
write_dirty() { dd if=/dev/zero of="$work/dirty" bs=1M count="$dirty_mb" status=none; }

run_make # warms the file cache
quiet=""
dirty=""
r=1
while [ "$r" -le "$repeats" ]; do
    clear_pages
    sync
    start=$(now); run_make; end=$(now)
    quiet="$quiet $((end - start))"
    clear_pages
    sync
    write_dirty
    start=$(now); run_make; end=$(now)
    dirty="$dirty $((end - start))"
    # The large file goes, and the file system is given a moment to settle, so that the next
    # quiet run does not pay for removing it.
    rm -f "$work/dirty"
    sync
    sleep 2
    r=$((r + 1))
done
sync

echo "$quiet | $dirty" | awk -v n="$pictures" -v reps="$repeats" -v mb="$dirty_mb" '
function sorted_median(v, c,    j, k, t) {
    for (j = 1; j <= c; j++) for (k = j + 1; k <= c; k++) if (v[k] < v[j]) { t = v[j]; v[j] = v[k]; v[k] = t }
    return c % 2 ? v[(c + 1) / 2] : (v[c / 2] + v[c / 2 + 1]) / 2
}
{
    split($0, parts, "\\|")
    c = split(parts[1], q, " "); split(parts[2], d, " ")
    for (i = 1; i <= c; i++) { ratio[i] = d[i] / q[i]; qs[i] = q[i]; ds[i] = d[i] }
    printf "\nquillmoor-make first run over %d photos, %d interleaved pairs:\n", n, reps
    printf "  quiet file system                          median %7.1f ms\n", sorted_median(qs, c) / 1e6
    printf "  beside %d MB of unwritten data             median %7.1f ms\n", mb, sorted_median(ds, c) / 1e6
    printf "  ratio beside / quiet, paired: median %.2f   (goal: at most 2)\n", sorted_median(ratio, c)
    printf "  all pairs (ms):"
    for (i = 1; i <= c; i++) printf " %.0f/%.0f", q[i] / 1e6, d[i] / 1e6
    printf "\n"
}'
