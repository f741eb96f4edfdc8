#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A gallery made on an exFAT stick mounted through FUSE, as many desktops mount sticks and cards:
# no hard links, no renames that refuse to replace, no files without a name, no extended
# attributes, and names that differ only in case are one name. Thumbnails, web copies, pages and
# their backups are all written there; a rerun changes nothing, a changed template leaves each
# page's previous version as its .bak, and no temporary is left. The file layer's renames are then
# tried on the stick itself. Skipped without root, /dev/fuse, a loop device or exfat-fuse.
# Arguments: <quillmoor-make> <source tree> <file_ops_test>
set -u -o pipefail
make_bin=$1
src=$2
ops_test=$3
skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || skip "mounting needs root"
[ -c /dev/fuse ] || skip "no /dev/fuse"
for tool in mount.exfat-fuse mkfs.exfat losetup cjpeg ppmmake; do
  command -v "$tool" >/dev/null || skip "$tool is not installed"
done

work=$(mktemp -d "${TMPDIR:-/tmp}/qlm-exfat.XXXXXX")
loop=""
cleanup() {
  mountpoint -q "$work/stick" && umount "$work/stick"
  [ -z "$loop" ] || losetup -d "$loop"
  rm -rf "$work"
}
trap cleanup EXIT
truncate -s 64M "$work/stick.img"
mkfs.exfat "$work/stick.img" >/dev/null || fail "mkfs.exfat"
loop=$(losetup -f --show "$work/stick.img" 2>/dev/null) || skip "no loop device to be had"
mkdir "$work/stick"
mount.exfat-fuse "$loop" "$work/stick" 2>"$work/mount.err" || skip "exfat-fuse cannot mount: $(cat "$work/mount.err")"

folder=$work/stick/Urlaub
mkdir "$folder"
for picture in bergsee.jpg blumen.png leuchtturm.gif nacht.jpg; do
  cp "$src/demo/$picture" "$folder/"
done
cp "$src/demo/title.txt" "$src/demo/bergsee.txt" "$folder/"
# One photo large enough for web copies.
ppmmake rgb:60/90/c0 2000 1500 | cjpeg -quality 80 >"$folder/see.jpg"
cp -r "$src/templates" "$work/templates"

run() {
  "$make_bin" --no-ask --make-thumbnails --make-web-pictures --templates "$work/templates" "$folder" \
    >"$work/out" 2>&1 || fail "quillmoor-make failed: $(cat "$work/out")"
}

run
for name in bergsee nacht see; do
  [ -s "$folder/$name.html" ] || fail "no page $name.html: $(cat "$work/out")"
  [ -s "$folder/t_$name.jpg" ] || fail "no thumbnail t_$name.jpg: $(cat "$work/out")"
done
[ -s "$folder/index.html" ] || fail "no index.html"
[ -s "$folder/qlm-web/see_800.jpg" ] && [ -s "$folder/qlm-web/see_1600.jpg" ] ||
  fail "no web copies of see.jpg: $(ls "$folder/qlm-web" 2>&1)"

mkdir "$work/first"
cp "$folder"/*.html "$work/first/"
run
if ls "$folder" | grep -q '\.bak$'; then
  fail "a rerun over the unchanged folder wrote: $(ls "$folder" | grep '\.bak$')"
fi

printf '<!-- geaendert -->\n' >>"$work/templates/Pic.html"
printf '<!-- geaendert -->\n' >>"$work/templates/MainTail.html"
run
for page in "$work"/first/*.html; do
  name=$(basename "$page")
  cmp -s "$page" "$folder/$name.bak" || fail "$name.bak is not the page before the change"
  cmp -s "$page" "$folder/$name" && fail "$name did not change"
done
leftovers=$(ls -a "$folder" "$folder/qlm-web" | grep '^\.qlm-')
[ -z "$leftovers" ] || fail "temporaries left: $leftovers"

QLM_TEST_STICK=$folder/ "$ops_test" --gtest_also_run_disabled_tests --gtest_filter='*DISABLED_OnAStick*' ||
  fail "the file layer's renames on the stick"
echo "exFAT stick: pages, thumbnails, web copies and backups written"
