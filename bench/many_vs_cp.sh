#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Headless speed over very many small pictures, where the time is all in the file system: times
# quillmoor-make --no-ask over a folder of small JPEG pictures with thumbnails, a first run (no
# pages yet, the sync that follows included) and a rerun over the unchanged folder, against
# `cp -r` plus `sync` of a folder that holds as many files of the pages' size as the run writes.
# Then the rerun over ten times as many pictures, which should take about ten times as long. With
# GNU time (/usr/bin/time, package time) it also gives the peak memory of a rerun over each folder.
#
#   sh bench/many_vs_cp.sh [BUILD_DIR]            (default build/)
#   QLM_BENCH_PICTURES=10000 QLM_BENCH_SCALE=10 QLM_BENCH_REPEATS=3 sh bench/many_vs_cp.sh
#
# QLM_BENCH_THUMBNAILS=1 leaves the thumbnails out of the folder and has each first run make them
# (--make-thumbnails); the copy then holds as many files of the thumbnails' size as well.
# QLM_BENCH_SCALE=1 leaves out the large folder. Needs netpbm and libjpeg-turbo-progs:
#   apt-get install netpbm libjpeg-turbo-progs
# The folders are made in a temporary folder (TMPDIR) that is removed at the end; the large one
# takes about 1.5 GB of disk for 100,000 pictures. `sync` flushes the whole machine: run it on an
# otherwise idle one, and a minute after the last run of it (see set_aside).
# QLM_BENCH_DELETE=1 deletes the pages, thumbnails and copy before each timed run instead, as the
# earlier version of this script did, so that figures taken with it can be compared.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
pictures=${QLM_BENCH_PICTURES:-10000}
scale=${QLM_BENCH_SCALE:-10}
repeats=${QLM_BENCH_REPEATS:-3}
make_bin="$build/cli/quillmoor-make"
thumbnails=${QLM_BENCH_THUMBNAILS:-0}
make_flags=""
[ "$thumbnails" = 1 ] && make_flags="--make-thumbnails"

for tool in pgmnoise rgb3toppm cjpeg; do
    command -v "$tool" >/dev/null 2>&1 ||
        { echo "$tool is missing (packages netpbm, libjpeg-turbo-progs)" >&2; exit 1; }
done
[ -x "$make_bin" ] || { echo "$make_bin is missing: build first (cmake --build $build)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/quillmoor-many.XXXXXX")
# The deleted folders are synced as well: ext4 without a journal keeps skipping the inodes of
# files deleted in the last minute, and of those whose inode table is not yet written for six.
trap 'rm -rf "$work"; sync' EXIT

# One small photo and its thumbnail, copied under numbered names: the folder list, the headers and
# the pages cost the same as for distinct pictures of that size.
pgmnoise -randomseed=1 160 120 > "$work/r.pgm"
pgmnoise -randomseed=2 160 120 > "$work/g.pgm"
pgmnoise -randomseed=3 160 120 > "$work/b.pgm"
rgb3toppm "$work/r.pgm" "$work/g.pgm" "$work/b.pgm" | cjpeg -quality 85 > "$work/photo.jpg"
pgmnoise -randomseed=4 40 30 > "$work/t.pgm"
rgb3toppm "$work/t.pgm" "$work/t.pgm" "$work/t.pgm" | cjpeg -quality 85 > "$work/thumb.jpg"

# fill_folder FOLDER COUNT: distinct files (not links, which would share one inode) written by one
# perl process, which is part of every Debian system.
fill_folder() {
    mkdir "$1"
    echo "Making $2 pictures with thumbnails in $(basename "$1") ..."
    perl -e '
        my ($folder, $count, $photo, $thumb, $with_thumbs) = @ARGV;
        sub slurp { local $/; open(my $in, "<:raw", $_[0]) or die "$_[0]: $!"; return <$in>; }
        my ($p, $t) = (slurp($photo), slurp($thumb));
        for my $i (1 .. $count) {
            my $n = sprintf("%06d", $i);
            for (["bild$n.jpg", $p], $with_thumbs ? ["t_bild$n.jpg", $t] : ()) {
                open(my $out, ">:raw", "$folder/$_->[0]") or die "$_->[0]: $!";
                print $out $_->[1];
                close($out) or die "$_->[0]: $!";
            }
        }' "$1" "$2" "$work/photo.jpg" "$work/thumb.jpg" "$([ "$thumbnails" = 1 ] && echo 0 || echo 1)"
}

now() { date +%s%N; }
# peak_kb FOLDER: the largest resident memory of a rerun, in KiB; "-" without GNU time.
peak_kb() {
    if [ -x /usr/bin/time ]; then
        /usr/bin/time -f '%M' -o "$work/peak" "$make_bin" --no-ask --templates "$root/templates" "$1" > /dev/null
        tail -n 1 "$work/peak"
    else
        echo "-"
    fi
}
run_make() { "$make_bin" --no-ask $make_flags --templates "$root/templates" "$1" > /dev/null; }
clear_pages() {
    find "$1" -maxdepth 1 \( -name '*.html' -o -name '*.bak' \) -delete
    [ "$thumbnails" = 1 ] && find "$1" -maxdepth 1 -name 't_*' -delete
    return 0
}
# set_aside FOLDER: moves what clear_pages deletes into a folder of its own under $work/aside, to
# be deleted after the timed runs. On ext4 without a journal a new file skips the inodes freed in
# the last minute, one at a time, so a folder where thousands of files were just deleted makes
# each new file cost as much kernel time as the picture's whole page. Deleting before a timed run
# would charge that to whichever side happens to share an inode group with the deleted files.
aside=0
set_aside() {
    aside=$((aside + 1))
    mkdir -p "$work/aside/$aside"
    find "$1" -maxdepth 1 \( -name '*.html' -o -name '*.bak' \) -exec mv -t "$work/aside/$aside" {} +
    [ "$thumbnails" = 1 ] && find "$1" -maxdepth 1 -name 't_*' -exec mv -t "$work/aside/$aside" {} +
    return 0
}
stamps() { find "$1" -mindepth 1 -printf '%P %T@\n' | sort; }

small="$work/small"
fill_folder "$small" "$pictures"
sync

# The reference folder: as many files as the run writes, each of the size of its page.
run_make "$small"
mkdir "$work/pages"
# The files a first run writes: its pages, and with QLM_BENCH_THUMBNAILS=1 its thumbnails.
written_files() {
    if [ "$thumbnails" = 1 ]; then
        find . -maxdepth 1 \( -name '*.html' -o -name 't_*' \) -printf '%f %s\n'
    else
        find . -maxdepth 1 -name '*.html' -printf '%f %s\n'
    fi
}
(cd "$small" && written_files) | while read -r name size; do
    head -c "$size" /dev/zero > "$work/pages/$name"
done
page_files=$(ls "$work/pages" | wc -l)

first=""
rerun=""
copy=""
changed=0
r=1
delete=${QLM_BENCH_DELETE:-0}
while [ "$r" -le "$repeats" ]; do
    if [ "$delete" = 1 ]; then clear_pages "$small"; else set_aside "$small"; fi
    sync
    start=$(now); run_make "$small"; sync; end=$(now)
    first="$first $((end - start))"
    stamps "$small" > "$work/before"
    start=$(now); run_make "$small"; end=$(now)
    rerun="$rerun $((end - start))"
    stamps "$small" > "$work/after"
    cmp -s "$work/before" "$work/after" || changed=$((changed + 1))
    if [ "$delete" = 1 ]; then
        rm -rf "$work/copy"
    elif [ -d "$work/copy" ]; then
        mv "$work/copy" "$work/aside/copy$r"
    fi
    sync
    start=$(now); cp -r "$work/pages" "$work/copy"; sync; end=$(now)
    copy="$copy $((end - start))"
    r=$((r + 1))
done
rm -rf "$work/copy" "$work/pages" "$work/aside"
small_peak=$(peak_kb "$small")

large_rerun=""
large_peak="-"
if [ "$scale" -gt 1 ]; then
    clear_pages "$small"
    large="$work/large"
    fill_folder "$large" $((pictures * scale))
    run_make "$large"
    sync
    r=1
    while [ "$r" -le "$repeats" ]; do
        start=$(now); run_make "$large"; end=$(now)
        large_rerun="$large_rerun $((end - start))"
        r=$((r + 1))
    done
    large_peak=$(peak_kb "$large")
fi

echo "$first | $rerun | $copy | $large_rerun" | awk -v n="$pictures" -v reps="$repeats" \
    -v changed="$changed" -v files="$page_files" -v scale="$scale" \
    -v small_peak="$small_peak" -v large_peak="$large_peak" -v thumbnails="$thumbnails" '
function stats(text, out,    c, v, i) {
    c = split(text, v, " "); out["best"] = v[1]; out["sum"] = 0
    for (i = 1; i <= c; i++) { out["sum"] += v[i]; if (v[i] < out["best"]) out["best"] = v[i]; out[i] = v[i] }
    out["mean"] = c > 0 ? out["sum"] / c : 0
}
# The speed of the file system drifts over minutes, so each run is set against the copy made in the
# same repetition: the ratios of the pairs, best and median.
function paired(a, b, out,    i, r, t, j, k) {
    for (i = 1; i <= reps; i++) r[i] = a[i] / b[i]
    for (j = 1; j <= reps; j++) for (k = j + 1; k <= reps; k++) if (r[k] < r[j]) { t = r[j]; r[j] = r[k]; r[k] = t }
    out["best"] = r[1]; out["median"] = reps % 2 ? r[(reps + 1) / 2] : (r[reps / 2] + r[reps / 2 + 1]) / 2
}
{
    split($0, parts, "\\|")
    stats(parts[1], f); stats(parts[2], g); stats(parts[3], c); stats(parts[4], l)
    paired(f, c, fc); paired(g, c, gc)
    printf "\nquillmoor-make over %d small pictures (+ thumbnails), %d repetitions:\n", n, reps
    printf "                                            wall best   wall mean\n"
    printf "  first run, then sync                  %9.0f ms %9.0f ms\n", f["best"] / 1e6, f["mean"] / 1e6
    printf "  rerun over the unchanged folder       %9.0f ms %9.0f ms\n", g["best"] / 1e6, g["mean"] / 1e6
    printf "  cp -r of %6d page-sized files, sync %9.0f ms %9.0f ms\n", files, c["best"] / 1e6, c["mean"] / 1e6
    printf "  ratio first run / cp, paired: best %.2f, median %.2f   (goal: at most %s)\n", fc["best"], fc["median"],
        thumbnails == 1 ? "1.5" : "1.3"
    printf "  ratio rerun / cp, paired:     best %.2f, median %.2f   (goal: at most 0.3)\n", gc["best"], gc["median"]
    printf "  peak memory of a rerun: %s KiB   (goal for 10,000 pictures: at most 12 MB)\n", small_peak
    printf "  reruns that changed a modification time: %d of %d   (goal: 0)\n", changed, reps
    if (scale > 1) {
        printf "  rerun over %d pictures            %9.0f ms %9.0f ms\n", n * scale, l["best"] / 1e6, l["mean"] / 1e6
        printf "  ratio rerun %dx / rerun: best %.1f, mean %.1f   (goal: at most %.0f)\n", scale,
            l["best"] / g["best"], l["mean"] / g["mean"], scale * 1.2
        printf "  peak memory of a rerun over %d pictures: %s KiB   (goal for 100,000: at most 40 MB)\n", n * scale, large_peak
    }
}'
