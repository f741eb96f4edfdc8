#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Whole-run benchmark: times quillmoor-make --no-ask --verify (which decodes every picture) over a
# folder of 12-megapixel JPEG photos against djpeg decoding the same files (pictures and thumbnails) at 1/8 scale, which is the
# least any program that reads every picture's size by decoding must do. quillmoor-make decodes the
# next thumbnail and picture ahead on a second thread, so on two cores it can take less wall time
# than djpeg decoding the files one after the other.
#
#   sh bench/run_vs_djpeg.sh [BUILD_DIR]      (default build/)
#   QLM_BENCH_PICTURES=8 QLM_BENCH_REPEATS=5 sh bench/run_vs_djpeg.sh
#
# The pictures are made here from noise and gradients (netpbm, cjpeg -quality 90), in a
# temporary folder that is removed at the end.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
pictures=${QLM_BENCH_PICTURES:-8}
repeats=${QLM_BENCH_REPEATS:-5}
make_bin="$build/cli/quillmoor-make"
. "$root/bench/photos.sh"

check_photo_tools
command -v djpeg >/dev/null 2>&1 || { echo "djpeg is missing (package libjpeg-turbo-progs)" >&2; exit 1; }
[ -x "$make_bin" ] || { echo "$make_bin is missing: build first (sh scripts/run.sh or cmake --build $build)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/quillmoor-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
folder="$work/photos"
mkdir "$folder"
make_photos "$folder" "$pictures" "$work"

now() { date +%s%N; }

# CPU time (user + system) of all finished children of this shell so far, in nanoseconds.
# `times` runs in this shell (a command substitution would ask a subshell).
child_cpu() {
    times > "$work/times"
    tail -n 1 "$work/times" | awk '{
        total = 0
        for (i = 1; i <= 2; i++) { split($i, t, "m"); sub("s", "", t[2]); total += t[1] * 60 + t[2] }
        printf "%.0f\n", total * 1e9
    }'
}

run_make() {
    "$make_bin" --no-ask --verify --templates "$root/templates" "$folder" > /dev/null
}

run_djpeg() {
    for file in "$folder"/*.jpg; do
        djpeg -scale 1/8 -outfile /dev/null "$file"
    done
}

# Warm the file cache for both, then time them alternately.
run_make
run_djpeg
make_times=""
djpeg_times=""
make_cpu=0
djpeg_cpu=0
r=1
while [ "$r" -le "$repeats" ]; do
    child_cpu > "$work/cpu0"; start=$(now)
    run_make
    end=$(now); child_cpu > "$work/cpu1"
    cpu0=$(cat "$work/cpu0"); cpu1=$(cat "$work/cpu1")
    make_times="$make_times $((end - start))"
    make_cpu=$((make_cpu + cpu1 - cpu0))
    child_cpu > "$work/cpu0"; start=$(now)
    run_djpeg
    end=$(now); child_cpu > "$work/cpu1"
    cpu0=$(cat "$work/cpu0"); cpu1=$(cat "$work/cpu1")
    djpeg_times="$djpeg_times $((end - start))"
    djpeg_cpu=$((djpeg_cpu + cpu1 - cpu0))
    r=$((r + 1))
done

echo "$make_times | $djpeg_times | $make_cpu $djpeg_cpu" | awk -v n="$pictures" -v reps="$repeats" '{
    split($0, parts, "\\|")
    cm = split(parts[1], m, " "); cd = split(parts[2], d, " "); split(parts[3], cpu, " ")
    bm = m[1]; bd = d[1]; sm = 0; sd = 0
    for (i = 1; i <= cm; i++) { sm += m[i]; if (m[i] < bm) bm = m[i] }
    for (i = 1; i <= cd; i++) { sd += d[i]; if (d[i] < bd) bd = d[i] }
    printf "\nWhole run over %d photos of 12 megapixels (+ thumbnails), %d repetitions:\n", n, reps
    printf "                              wall best   wall mean    CPU mean\n"
    printf "  quillmoor-make --verify   %9.1f ms %9.1f ms %9.1f ms\n", bm / 1e6, sm / cm / 1e6, cpu[1] / reps / 1e6
    printf "  djpeg -scale 1/8 (each)   %9.1f ms %9.1f ms %9.1f ms\n", bd / 1e6, sd / cd / 1e6, cpu[2] / reps / 1e6
    printf "  ratio quillmoor-make / djpeg: wall (best) %.2f, CPU %.2f\n", bm / bd, cpu[1] / cpu[2]
    # Other work on the machine drifts over minutes: each run is also set against the djpeg run
    # right after it, and the median of those ratios is the figure to quote.
    for (i = 1; i <= cm && i <= cd; i++) r[i] = m[i] / d[i]
    c = (cm < cd) ? cm : cd
    for (i = 1; i <= c; i++) for (j = i + 1; j <= c; j++) if (r[j] < r[i]) { t = r[i]; r[i] = r[j]; r[j] = t }
    median = c % 2 ? r[(c + 1) / 2] : (r[c / 2] + r[c / 2 + 1]) / 2
    printf "  ratio of the interleaved pairs: best %.2f, median %.2f   (goal: at most 0.55)\n", r[1], median
    printf "  (the wall time of quillmoor-make includes writing its pages safely to disk)\n"
}'
