#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Times a "Make HTML" run in the window against quillmoor-make over the same folder: 500 photos of
# 12 megapixels with thumbnails and all their texts, so that neither asks anything. The window
# shows its progress and every picture in the preview as it goes; the headless tool only decodes.
# Goal: the window costs at most 1.15 times the headless run. The window's run is also timed on
# one thread (every picture decoded when the run reaches it, nothing ahead); goal: the usual run,
# which decodes the next picture on a second core, at most 0.65 times that.
#
#   sh bench/window_vs_make.sh [BUILD_DIR]       (default build/)
#   QLM_BENCH_PICTURES=500 QLM_BENCH_REPEATS=3 sh bench/window_vs_make.sh
#
# One photo-like picture is made (sky, hills and a grainy field; cjpeg -quality 90, about 4.5 MB)
# with its thumbnail; the folder holds it under every name as a hard link, so that the disk holds
# one copy while each name is decoded in full.
# The window runs on the offscreen platform unless DISPLAY is set and QT_QPA_PLATFORM says xcb.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
pictures=${QLM_BENCH_PICTURES:-500}
repeats=${QLM_BENCH_REPEATS:-3}
make_bin="$build/cli/quillmoor-make"
window_bin="$build/bench/window_run_timing"
photo_bin="$build/bench/preview_load_timing"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

for tool in cjpeg pamscale; do
    command -v "$tool" >/dev/null 2>&1 || { echo "$tool is missing (packages netpbm, libjpeg-turbo-progs)" >&2; exit 1; }
done
for bin in "$make_bin" "$window_bin" "$photo_bin"; do
    [ -x "$bin" ] || { echo "$bin is missing: build first (cmake --build $build)" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/quillmoor-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
folder="$work/photos"
mkdir "$folder"

echo "Making a photo of 4000x3000 pixels and $pictures pictures of it in $folder ..."
"$photo_bin" --make-ppm "$work/photo.ppm" 4000 3000
cjpeg -quality 90 -outfile "$work/photo.jpg" "$work/photo.ppm"
pamscale -xyfit 160 120 "$work/photo.ppm" | cjpeg -quality 85 -outfile "$work/thumb.jpg"
rm -f "$work/photo.ppm"
i=1
while [ "$i" -le "$pictures" ]; do
    name=$(printf 'foto%03d' "$i")
    ln "$work/photo.jpg" "$folder/$name.jpg"
    ln "$work/thumb.jpg" "$folder/t_$name.jpg"
    printf 'Bild %d\r\nam Meer' "$i" > "$folder/$name.txt"
    i=$((i + 1))
done
printf 'Benchmark' > "$folder/title.txt"
printf 'Meer, Strand' > "$folder/keywords.txt"
printf 'Bilder vom Meer' > "$folder/description.txt"

now() { date +%s%N; }
# --verify: the window decodes every picture, so the headless run it is measured against does too.
run_make() { "$make_bin" --verify --templates "$root/templates" "$folder" > /dev/null; }
# The window prints the milliseconds of its run alone, without its start-up.
run_window() { "$window_bin" "$folder" "$root/templates" 2> /dev/null; }
run_window_one_thread() { "$window_bin" --one-thread "$folder" "$root/templates" 2> /dev/null; }

# Warm the file cache for both, then time them alternately.
run_make
run_window > /dev/null
make_times=""
window_times=""
one_times=""
r=1
while [ "$r" -le "$repeats" ]; do
    start=$(now)
    run_make
    end=$(now)
    make_times="$make_times $(( (end - start) / 1000000 ))"
    window_times="$window_times $(run_window)"
    one_times="$one_times $(run_window_one_thread)"
    r=$((r + 1))
done

echo "$make_times | $window_times | $one_times" | awk -v n="$pictures" -v reps="$repeats" '{
    split($0, parts, "\\|")
    cm = split(parts[1], m, " "); cw = split(parts[2], w, " "); co = split(parts[3], o, " ")
    bm = m[1]; bw = w[1]; bo = o[1]; sm = 0; sw = 0; so = 0
    for (i = 1; i <= cm; i++) { sm += m[i]; if (m[i] < bm) bm = m[i] }
    for (i = 1; i <= cw; i++) { sw += w[i]; if (w[i] < bw) bw = w[i] }
    for (i = 1; i <= co; i++) { so += o[i]; if (o[i] < bo) bo = o[i] }
    printf "\n\"Make HTML\" over %d photos of 12 megapixels (+ thumbnails and texts), %d repetitions:\n", n, reps
    printf "                              best        mean\n"
    printf "  quillmoor-make (process) %8.0f ms %8.0f ms\n", bm, sm / cm
    printf "  window (the run alone)   %8.0f ms %8.0f ms\n", bw, sw / cw
    printf "  window on one thread     %8.0f ms %8.0f ms\n", bo, so / co
    printf "  ratio window / quillmoor-make: best %.2f, mean %.2f   (goal: at most 1.15)\n", bw / bm, (sw / cw) / (sm / cm)
    printf "  ratio window / one thread:     best %.2f, mean %.2f   (goal: at most 0.65)\n", bw / bo, (sw / cw) / (so / co)
}'
