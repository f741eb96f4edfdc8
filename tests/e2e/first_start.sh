#!/bin/bash
# First start without "QLM.ini": the window, the drive list, walking into a gallery folder with
# the keyboard and the mouse, marking all pictures, and the folder kept for the next start.
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
LIST=(16 56 385 241)
MAKE_HTML=(424 312 113 38)
CORRECT_NAMES=(424 360 113 38)
# Row r of the folder list, inside the list's frame.
row_region() { printf '18 %d 360 17' $((56 + 2 + 17 * $1)); }
# Everything of the list below row r.
below_rows() { printf '18 %d 360 %d' $((56 + 2 + 17 * $1)) $((241 - 4 - 17 * $1)); }

row_has_text() {
  # shellcheck disable=SC2046
  e2e_grab $(row_region "$1") "$E2E_TMP/row.ppm" && (($(e2e_colours "$E2E_TMP/row.ppm") > 1))
}
empty_below() {
  # shellcheck disable=SC2046
  e2e_grab $(below_rows "$1") "$E2E_TMP/rest.ppm" && (($(e2e_colours "$E2E_TMP/rest.ppm") == 1))
}
region_uniform() {
  e2e_grab "$@" "$E2E_TMP/uniform.ppm" && (($(e2e_colours "$E2E_TMP/uniform.ppm") == 1))
}

# ---- first run ----
e2e_start_program
e2e_park_mouse
title=$(xdotool getwindowname "$E2E_WIN")
e2e_log "title: $title"
[[ "$title" =~ ^Quillmoor\ V([0-9]+\.[0-9]+\.[0-9]+\.[0-9]+|\?\.\?\.\?\.\?)$ ]] ||
  e2e_fail "title '$title' is not 'Quillmoor V' and a four-part version"
e2e_check "client area 716x405 (got ${E2E_CW}x$E2E_CH)" test "$E2E_CW" -eq 716 -a "$E2E_CH" -eq 405
hints=$(xprop -id "$E2E_WIN" WM_NORMAL_HINTS)
e2e_check "fixed size: minimum and maximum 716 by 405" \
  grep -q 'minimum size: 716 by 405' <<<"$hints"
grep -q 'maximum size: 716 by 405' <<<"$hints" || e2e_fail "window can be resized: $hints"
IFS=', ' read -r left _ top _ <<<"$(xprop -id "$E2E_WIN" _NET_FRAME_EXTENTS | sed -n 's/.*= *//p')"
e2e_check "the window opens at 225,269 (frame at $((E2E_CX - left)),$((E2E_CY - top)))" \
  test $((E2E_CX - left)) -eq 225 -a $((E2E_CY - top)) -eq 269

e2e_check "MyDir is empty at first start" region_uniform "${MYDIR[@]}"
e2e_grab "${MYDIR[@]}" "$E2E_TMP/mydir_empty.ppm"
e2e_check "the drive list has entries" row_has_text 0
e2e_grab "${MAKE_HTML[@]}" "$E2E_TMP/make_off.ppm"
e2e_grab "${CORRECT_NAMES[@]}" "$E2E_TMP/names_off.ppm"
e2e_shot 1-drives

# The root is the drive list's first entry; from there the keyboard finds each folder of the
# gallery's path by its name (type-ahead) and Return enters it.
e2e_activate
e2e_click_row 0
e2e_key Return
e2e_wait_region_change "${MYDIR[@]}" "$E2E_TMP/mydir_empty.ppm" || e2e_fail "Return on the root did not list it"
# unique_prefix <folder> <name>: the shortest start of the name that no other entry of the
# folder shares (the list's type-ahead ignores case).
unique_prefix() {
  local dir=$1 name=$2 n matches
  shopt -s nocaseglob dotglob nullglob
  for ((n = 1; n < ${#name}; n++)); do
    matches=("$dir/${name:0:n}"*)
    ((${#matches[@]} == 1)) && break
  done
  shopt -u nocaseglob dotglob nullglob
  printf '%s' "${name:0:n}"
}
IFS=/ read -r -a parts <<<"${gallery#/}"
folder=""
for part in "${parts[@]}"; do
  prefix=$(unique_prefix "${folder:-/}" "$part")
  folder="$folder/$part"
  e2e_grab "${MYDIR[@]}" "$E2E_TMP/mydir_before.ppm"
  # Keys typed within the toolkit's type-ahead interval (0.4 s) extend the previous search, so
  # each search starts after that pause.
  sleep 0.5
  e2e_type "$prefix"
  e2e_key Return
  e2e_wait_region_change "${MYDIR[@]}" "$E2E_TMP/mydir_before.ppm" ||
    e2e_fail "typing '$prefix' and Return did not enter '$folder'"
  e2e_log "ok: '$prefix' and Return entered $folder"
done
e2e_park_mouse
e2e_grab "${MYDIR[@]}" "$E2E_TMP/mydir_gallery.ppm"
e2e_shot 2-gallery
# "..", "alben", "a.jpg", "b.png": four rows; the thumbnail and the text file are not listed.
e2e_check "the gallery lists a fourth row" row_has_text 3
e2e_check "the gallery lists nothing after the fourth row" empty_below 4

# A real double-click enters the sub-folder; ".." leads back to the same folder.
e2e_double_click_row 1
e2e_wait_region_change "${MYDIR[@]}" "$E2E_TMP/mydir_gallery.ppm" || e2e_fail "double-click did not enter 'alben'"
e2e_park_mouse
e2e_shot 3-subfolder
e2e_check "'alben' lists '..' and one picture" row_has_text 1
e2e_check "'alben' lists nothing more" empty_below 2
e2e_double_click_row 0
e2e_wait_region_equal "${MYDIR[@]}" "$E2E_TMP/mydir_gallery.ppm" || e2e_fail "'..' did not lead back to the gallery"
e2e_log "ok: '..' leads back to the gallery"
e2e_check "the buttons are still disabled" e2e_region_equals "${MAKE_HTML[@]}" "$E2E_TMP/make_off.ppm"

# The drive button lists the drives and keeps the folder; "Reload" then lists the folder again.
e2e_park_mouse
e2e_grab "${LIST[@]}" "$E2E_TMP/list_gallery.ppm"
e2e_click $((8 + 8 + 10)) $((32 + 8 + 8))
e2e_park_mouse
e2e_wait_region_change "${LIST[@]}" "$E2E_TMP/list_gallery.ppm" || e2e_fail "the drive button did not list the drives"
e2e_check "MyDir keeps the gallery while the drives are listed" \
  e2e_region_equals "${MYDIR[@]}" "$E2E_TMP/mydir_gallery.ppm"
e2e_click $((8 + 32 + 10)) $((32 + 8 + 8))
e2e_park_mouse
e2e_wait_region_equal "${LIST[@]}" "$E2E_TMP/list_gallery.ppm" || e2e_fail "'Reload' did not list the gallery again"
e2e_log "ok: 'Reload' lists the gallery again"

# Ctrl+A marks every picture: "Make HTML" and "Correct Names" become enabled.
e2e_park_mouse
e2e_key ctrl+a
e2e_wait_region_change "${MAKE_HTML[@]}" "$E2E_TMP/make_off.ppm" || e2e_fail "Ctrl+A did not enable 'Make HTML'"
e2e_check "Ctrl+A enabled 'Correct Names'" e2e_region_differs "${CORRECT_NAMES[@]}" "$E2E_TMP/names_off.ppm"
e2e_grab "${MAKE_HTML[@]}" "$E2E_TMP/make_on.ppm"
e2e_shot 4-marked

# A click on the folder row leaves no picture selected: both buttons look disabled again.
e2e_click_row 1
e2e_park_mouse
e2e_wait_region_equal "${MAKE_HTML[@]}" "$E2E_TMP/make_off.ppm" || e2e_fail "'Make HTML' stayed enabled without a picture"
e2e_check "'Correct Names' is disabled again" e2e_region_equals "${CORRECT_NAMES[@]}" "$E2E_TMP/names_off.ppm"
# One picture selected by a click enables them; Ctrl+click on it disables them again (a little
# to the side, so that the two clicks do not make a double-click).
e2e_click_row 3
e2e_park_mouse
e2e_wait_region_equal "${MAKE_HTML[@]}" "$E2E_TMP/make_on.ppm" || e2e_fail "selecting one picture did not enable 'Make HTML'"
e2e_log "ok: one selected picture enables 'Make HTML'"
xdotool keydown ctrl
e2e_click_row 3 200
xdotool keyup ctrl
e2e_park_mouse
e2e_wait_region_equal "${MAKE_HTML[@]}" "$E2E_TMP/make_off.ppm" || e2e_fail "deselecting the picture left 'Make HTML' enabled"
e2e_log "ok: deselecting it disables 'Make HTML'"

e2e_close_program
e2e_check "the program ended normally" test "$E2E_EXIT" -eq 0
e2e_expect_settings "$gallery/" true true true true true false
e2e_check "no QLM.ini in the working directory" test ! -e "$E2E_TMP/work/QLM.ini"

# ---- second run: the gallery is listed again at once ----
e2e_start_program
e2e_park_mouse
e2e_wait_region_equal "${MYDIR[@]}" "$E2E_TMP/mydir_gallery.ppm" || e2e_fail "MyDir does not show the gallery after the restart"
e2e_log "ok: MyDir shows the gallery after the restart"
e2e_check "the restored listing has four rows" row_has_text 3
e2e_check "the restored listing has no fifth row" empty_below 4
e2e_shot 5-restored
e2e_activate
# A click into the empty part of the list gives it the keyboard focus.
e2e_click_row 10
e2e_park_mouse
e2e_key ctrl+a
e2e_wait_region_equal "${MAKE_HTML[@]}" "$E2E_TMP/make_on.ppm" || e2e_fail "Ctrl+A after the restart did not enable 'Make HTML'"
e2e_log "ok: Ctrl+A after the restart marks the gallery's pictures"
e2e_shot 6-restored-marked
e2e_close_program
e2e_check "the program ended normally" test "$E2E_EXIT" -eq 0
e2e_expect_settings "$gallery/" true true true true true false
e2e_log "passed"
