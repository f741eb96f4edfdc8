#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Headless speed against reading the sizes only: times quillmoor-make --no-ask over a folder of
# 12-megapixel JPEG photos with thumbnails, a first run (no pages yet) and a rerun over the
# unchanged folder, against ImageMagick's `identify -ping` printing the size of the same files in
# one process. Also checks that the reruns change no file's modification time.
#
#   sh bench/make_vs_identify.sh [BUILD_DIR]      (default build/)
#   QLM_BENCH_PICTURES=40 QLM_BENCH_REPEATS=5 sh bench/make_vs_identify.sh
#
# Needs netpbm, libjpeg-turbo-progs and, as the reference only, ImageMagick:
#   apt-get install netpbm libjpeg-turbo-progs imagemagick
# The pictures are made in a temporary folder that is removed at the end. Run it on an otherwise
# idle machine; the first run's wall time includes writing its pages safely to disk.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
pictures=${QLM_BENCH_PICTURES:-40}
repeats=${QLM_BENCH_REPEATS:-5}
make_bin="$build/cli/quillmoor-make"
. "$root/bench/photos.sh"

check_photo_tools
[ -x /usr/bin/identify ] || command -v identify >/dev/null 2>&1 ||
    { echo "identify is missing (package imagemagick)" >&2; exit 1; }
identify_bin=$(command -v identify || echo /usr/bin/identify)
[ -x "$make_bin" ] || { echo "$make_bin is missing: build first (cmake --build $build)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/quillmoor-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
folder="$work/photos"
mkdir "$folder"
make_photos "$folder" "$pictures" "$work"

now() { date +%s%N; }
run_make() { "$make_bin" --no-ask --templates "$root/templates" "$folder" > /dev/null; }
run_identify() { "$identify_bin" -ping -format "%w %h\n" "$folder"/*.jpg > /dev/null; }
clear_pages() { rm -f "$folder"/*.html "$folder"/*.bak; }
# Every file of the folder with its modification time in nanoseconds.
stamps() { find "$folder" -mindepth 1 -printf '%P %T@\n' | sort; }

# Warm the file cache for both.
run_make
run_identify
first=""
rerun=""
ident=""
changed=0
r=1
while [ "$r" -le "$repeats" ]; do
    clear_pages
    start=$(now); run_make; end=$(now)
    first="$first $((end - start))"
    stamps > "$work/before"
    start=$(now); run_make; end=$(now)
    rerun="$rerun $((end - start))"
    stamps > "$work/after"
    cmp -s "$work/before" "$work/after" || changed=$((changed + 1))
    start=$(now); run_identify; end=$(now)
    ident="$ident $((end - start))"
    r=$((r + 1))
done

echo "$first | $rerun | $ident" | awk -v n="$pictures" -v reps="$repeats" -v changed="$changed" '
function stats(text, out,    c, v, i) {
    c = split(text, v, " "); out["best"] = v[1]; out["sum"] = 0
    for (i = 1; i <= c; i++) { out["sum"] += v[i]; if (v[i] < out["best"]) out["best"] = v[i] }
    out["mean"] = out["sum"] / c
}
{
    split($0, parts, "\\|")
    stats(parts[1], f); stats(parts[2], g); stats(parts[3], d)
    printf "\nquillmoor-make over %d photos of 12 megapixels (+ thumbnails), %d repetitions:\n", n, reps
    printf "                                       wall best   wall mean\n"
    printf "  first run (no pages yet)           %9.1f ms %9.1f ms\n", f["best"] / 1e6, f["mean"] / 1e6
    printf "  rerun over the unchanged folder    %9.1f ms %9.1f ms\n", g["best"] / 1e6, g["mean"] / 1e6
    printf "  identify -ping (one process)       %9.1f ms %9.1f ms\n", d["best"] / 1e6, d["mean"] / 1e6
    printf "  ratio first run / identify: best %.2f, mean %.2f   (goal: at most 0.5)\n", f["best"] / d["best"], f["mean"] / d["mean"]
    printf "  ratio rerun / identify:     best %.2f, mean %.2f   (goal: at most 0.5)\n", g["best"] / d["best"], g["mean"] / d["mean"]
    printf "  reruns that changed a modification time: %d of %d   (goal: 0)\n", changed, reps
}'
