# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by the benchmark scripts: makes a folder of 12-megapixel JPEG photos with thumbnails from
# noise and gradients (netpbm, cjpeg -quality 90). Source it, then call
#   make_photos FOLDER COUNT WORK_DIR
# WORK_DIR holds the intermediate files, which are removed at the end. Also djpeg_ms, the reference
# time of libjpeg-turbo's own decoder.

photo_width=4000
photo_height=3000

check_photo_tools() {
    for tool in pgmnoise pgmramp pamscale pamfunc pamarith rgb3toppm cjpeg; do
        command -v "$tool" >/dev/null 2>&1 ||
            { echo "$tool is missing (packages netpbm, libjpeg-turbo-progs)" >&2; exit 1; }
    done
}

# One colour channel: soft light at two scales, a ramp and fine grain, like the light and the
# sensor noise of a photo. photo_channel WORK SEED RAMP-KIND > PGM
photo_channel() {
    w=$photo_width
    h=$photo_height
    pgmnoise -randomseed="$2" $((w / 400)) $((h / 400)) |
        pamscale -xsize $w -ysize $h -filter=triangle | pamfunc -multiplier=0.45 > "$1/light.pgm"
    pgmnoise -randomseed=$(($2 + 5)) $((w / 50)) $((h / 50)) |
        pamscale -xsize $w -ysize $h -filter=triangle | pamfunc -multiplier=0.20 > "$1/blob.pgm"
    pgmramp "-$3" $w $h | pamfunc -multiplier=0.25 > "$1/ramp.pgm"
    pgmnoise -randomseed=$(($2 + 7)) $w $h | pamfunc -multiplier=0.10 > "$1/grain.pgm"
    pamarith -add "$1/light.pgm" "$1/blob.pgm" > "$1/sum1.pgm"
    pamarith -add "$1/sum1.pgm" "$1/ramp.pgm" > "$1/sum2.pgm"
    pamarith -add "$1/sum2.pgm" "$1/grain.pgm"
}

make_photos() {
    echo "Making $2 photos of ${photo_width}x$photo_height pixels in $1 ..."
    i=1
    while [ "$i" -le "$2" ]; do
        photo_channel "$3" $((i * 3)) lr > "$3/r.pgm"
        photo_channel "$3" $((i * 3 + 1)) tb > "$3/g.pgm"
        photo_channel "$3" $((i * 3 + 2)) diagonal > "$3/b.pgm"
        rgb3toppm "$3/r.pgm" "$3/g.pgm" "$3/b.pgm" > "$3/photo.ppm"
        name=$(printf 'foto%02d' "$i")
        cjpeg -quality 90 -outfile "$1/$name.jpg" "$3/photo.ppm"
        pamscale -xyfit 160 120 "$3/photo.ppm" | cjpeg -quality 85 -outfile "$1/t_$name.jpg"
        i=$((i + 1))
    done
    rm -f "$3"/*.pgm "$3/photo.ppm"
    printf 'Benchmark' > "$1/title.txt"
    echo "Photos: $(du -sh "$1" | cut -f1) in $(ls "$1"/*.jpg | wc -l) JPEG files"
}

# djpeg_ms FILE COUNT: mean milliseconds of COUNT runs of `djpeg -scale 1/8` on FILE, after one run
# that warms the file cache.
djpeg_ms() {
    djpeg -scale 1/8 -outfile /dev/null "$1"
    djpeg_start=$(date +%s%N)
    djpeg_i=0
    while [ $djpeg_i -lt "$2" ]; do
        djpeg -scale 1/8 -outfile /dev/null "$1"
        djpeg_i=$((djpeg_i + 1))
    done
    djpeg_end=$(date +%s%N)
    awk -v s="$djpeg_start" -v e="$djpeg_end" -v n="$2" 'BEGIN { printf "%.3f", (e - s) / 1e6 / n }'
}
