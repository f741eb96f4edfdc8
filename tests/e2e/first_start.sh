#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# First start without "QLM.ini": the window, the drive list, walking into a gallery folder with
# the keyboard and the mouse, marking all pictures, a click on two option boxes, and the folder and
# the boxes kept for the next start.
# Arguments: <program> <screenshot folder> <source tree>

source "$(dirname "$0")/lib.sh"
e2e_setup first_start "$@"

# The gallery: a sub-folder, two pictures, and a thumbnail and a text file that the list hides.
gallery=$(realpath "$E2E_TMP")/gallery
mkdir -p "$gallery/alben"
e2e_make_picture "$gallery/a.jpg" 40 30 red
e2e_make_picture "$gallery/b.png" 30 40 blue
e2e_make_picture "$gallery/t_a.jpg" 8 6 red
printf 'Text zu a\r\n' >"$gallery/a.txt"
e2e_make_picture "$gallery/alben/c.gif" 20 20 yellow

# Client regions compared below.
MYDIR=(8 8 689 17)
MAKE_HTML=(424 312 113 38)
CORRECT_NAMES=(424 360 113 38)
# Left and top of the six option boxes, in the order of the settings file's keys; the check mark
# sits in the first 14 x 17 pixels.
BOXES=("128 312" "128 336" "128 360" "128 384" "288 312" "288 336")

# rows_end_at <n>: the folder list shows row n-1 and nothing below it.
rows_end_at() {
  e2e_grab 18 $((41 + 17 * $1)) 360 17 "$E2E_TMP/row.ppm" && (($(e2e_colours "$E2E_TMP/row.ppm") > 1)) &&
    e2e_grab 18 $((58 + 17 * $1)) 360 $((237 - 17 * $1)) "$E2E_TMP/rest.ppm" &&
    (($(e2e_colours "$E2E_TMP/rest.ppm") == 1))
}

# expect_marks <run> <six states, 1 checked>: each box looks like the checked or the unchecked box
# of the first start.
expect_marks() {
  local run=$1 i x y
  shift
  e2e_park_mouse
  for i in "${!BOXES[@]}"; do
    read -r x y <<<"${BOXES[i]}"
    e2e_grab "$x" "$y" 14 17 "$E2E_TMP/$run-$i.ppm" || e2e_fail "no picture of box $i"
  done
  if [[ $run == first ]]; then
    cp "$E2E_TMP/first-0.ppm" "$E2E_TMP/mark-1.ppm"
    cp "$E2E_TMP/first-5.ppm" "$E2E_TMP/mark-0.ppm"
    cmp -s "$E2E_TMP/mark-1.ppm" "$E2E_TMP/mark-0.ppm" && e2e_fail "checked and unchecked boxes look the same"
  fi
  for i in "${!BOXES[@]}"; do
    cmp -s "$E2E_TMP/$run-$i.ppm" "$E2E_TMP/mark-$1.ppm" || e2e_fail "box $i does not look '$1' in run '$run'"
    shift
  done
  e2e_log "ok: the boxes in run '$run' look as expected"
}

# ---- first run ----
e2e_start_program
e2e_check "client area 716x405 (got ${E2E_CW}x$E2E_CH)" test "$E2E_CW" -eq 716 -a "$E2E_CH" -eq 405
IFS=', ' read -r left _ top _ <<<"$(xprop -id "$E2E_WIN" _NET_FRAME_EXTENTS | sed -n 's/.*= *//p')"
e2e_check "the window opens at 225,269 (frame at $((E2E_CX - left)),$((E2E_CY - top)))" \
  test $((E2E_CX - left)) -eq 225 -a $((E2E_CY - top)) -eq 269
expect_marks first 1 1 1 1 1 0

e2e_grab "${MYDIR[@]}" "$E2E_TMP/mydir_empty.ppm"
e2e_check "MyDir is empty at first start" test "$(e2e_colours "$E2E_TMP/mydir_empty.ppm")" -eq 1
e2e_grab 18 58 360 17 "$E2E_TMP/row.ppm"
e2e_check "the drive list has entries" test "$(e2e_colours "$E2E_TMP/row.ppm")" -gt 1
e2e_grab "${MAKE_HTML[@]}" "$E2E_TMP/make_off.ppm"
e2e_grab "${CORRECT_NAMES[@]}" "$E2E_TMP/names_off.ppm"
e2e_shot 1-drives

# The root is the drive list's first entry; from there the keyboard finds each folder of the
# gallery's path by its name (type-ahead) and Return enters it.
e2e_activate
e2e_click_row 0
xdotool key Return
e2e_wait_region_change "${MYDIR[@]}" "$E2E_TMP/mydir_empty.ppm" || e2e_fail "Return on the root did not list it"
# unique_prefix <folder> <name>: the shortest start of the name that no other entry of the
# folder shares (the list's type-ahead ignores case).
unique_prefix() {
  local n matches
  shopt -s nocaseglob dotglob nullglob
  for ((n = 1; n < ${#2}; n++)); do
    matches=("$1/${2:0:n}"*)
    ((${#matches[@]} == 1)) && break
  done
  shopt -u nocaseglob dotglob nullglob
  printf '%s' "${2:0:n}"
}
IFS=/ read -r -a parts <<<"${gallery#/}"
folder=""
for part in "${parts[@]}"; do
  prefix=$(unique_prefix "${folder:-/}" "$part")
  folder="$folder/$part"
  e2e_grab "${MYDIR[@]}" "$E2E_TMP/mydir_before.ppm"
  # Keys typed within the toolkit's type-ahead interval (0.4 s) extend the previous search.
  sleep 0.5
  xdotool type --delay 20 "$prefix"
  xdotool key Return
  e2e_wait_region_change "${MYDIR[@]}" "$E2E_TMP/mydir_before.ppm" ||
    e2e_fail "typing '$prefix' and Return did not enter '$folder'"
done
e2e_park_mouse
e2e_grab "${MYDIR[@]}" "$E2E_TMP/mydir_gallery.ppm"
e2e_shot 2-gallery
# "..", "alben", "a.jpg", "b.png"; the thumbnail and the text file are not listed.
e2e_check "the gallery lists four rows" rows_end_at 4

# A real double-click enters the sub-folder; ".." leads back to the same folder.
e2e_double_click_row 1
e2e_wait_region_change "${MYDIR[@]}" "$E2E_TMP/mydir_gallery.ppm" || e2e_fail "double-click did not enter 'alben'"
e2e_park_mouse
e2e_shot 3-subfolder
e2e_check "'alben' lists '..' and one picture" rows_end_at 2
e2e_double_click_row 0
e2e_wait_region_equal "${MYDIR[@]}" "$E2E_TMP/mydir_gallery.ppm" || e2e_fail "'..' did not lead back to the gallery"

# Ctrl+A marks every picture: "Make HTML" and "Correct Names" become enabled.
e2e_park_mouse
xdotool key ctrl+a
e2e_wait_region_change "${MAKE_HTML[@]}" "$E2E_TMP/make_off.ppm" || e2e_fail "Ctrl+A did not enable 'Make HTML'"
e2e_check "Ctrl+A enabled 'Correct Names'" e2e_region_differs "${CORRECT_NAMES[@]}" "$E2E_TMP/names_off.ppm"
e2e_grab "${MAKE_HTML[@]}" "$E2E_TMP/make_on.ppm"
e2e_shot 4-marked

# Check "all thumbs JPG" and uncheck "ask Keywords", then move the keyboard focus back to the
# list, so that no focus frame is drawn on the boxes.
e2e_click $((288 + 8)) $((336 + 8))
e2e_click $((128 + 8)) $((312 + 8))
e2e_click_row 12
e2e_park_mouse
e2e_wait_region_equal 288 336 14 17 "$E2E_TMP/mark-1.ppm" || e2e_fail "the click did not check 'all thumbs JPG'"
expect_marks clicked 0 1 1 1 1 1
e2e_shot 5-clicked

e2e_close_program
e2e_check "the program ended normally" test "$E2E_EXIT" -eq 0
e2e_expect_settings "$gallery/" false true true true true true
e2e_check "no QLM.ini in the working directory" test ! -e "$E2E_TMP/wd/QLM.ini"

# ---- second run: the gallery is listed again at once, the boxes are as they were left ----
e2e_start_program
e2e_park_mouse
e2e_wait_region_equal "${MYDIR[@]}" "$E2E_TMP/mydir_gallery.ppm" || e2e_fail "MyDir does not show the gallery after the restart"
e2e_check "the restored listing has four rows" rows_end_at 4
expect_marks restored 0 1 1 1 1 1
e2e_shot 6-restored
e2e_activate
# A click into the empty part of the list gives it the keyboard focus.
e2e_click_row 10
e2e_park_mouse
xdotool key ctrl+a
e2e_wait_region_equal "${MAKE_HTML[@]}" "$E2E_TMP/make_on.ppm" || e2e_fail "Ctrl+A after the restart did not enable 'Make HTML'"
e2e_shot 7-restored-marked
e2e_close_program
e2e_check "the program ended normally" test "$E2E_EXIT" -eq 0
e2e_expect_settings "$gallery/" false true true true true true
e2e_log "passed"
