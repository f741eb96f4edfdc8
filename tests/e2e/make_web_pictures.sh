#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# "Fehlende Webbilder erzeugen" from the folder list's pop-up menu in the real window: the
# selected pictures get their missing web copies in qlm-web/ at the default sizes (only those
# below the picture's own size), an existing copy is kept byte for byte, the pictures are not
# touched, the list is read again, and a picture that cannot be read is named in one warning.
# Arguments: <program> <screenshot folder> <source tree>

source "$(dirname "$0")/lib.sh"
e2e_setup make_web_pictures "$@"

LIST=(16 56 385 241)

gallery=$(realpath "$E2E_TMP")/kamera
mkdir -p "$gallery/qlm-web"
e2e_make_picture "$gallery/a.jpg" 2000 1500 red
e2e_make_picture "$gallery/b.png" 600 1000 blue
e2e_make_picture "$gallery/c.gif" 50 40 yellow
e2e_make_picture "$gallery/qlm-web/a_800.jpg" 16 12 green
cp "$gallery/qlm-web/a_800.jpg" "$E2E_TMP/a_800.before"
(cd "$gallery" && md5sum a.jpg b.png c.gif) >"$E2E_TMP/pictures.md5"
printf '[Settings]\nDir=%s/\n' "$gallery" >"$(e2e_ini)"

# size <file>: "width height" of a picture, by the netpbm converter of its kind.
size() {
  case "${1##*.}" in
    jpg) jpegtopnm "$1" ;;
    png) pngtopnm "$1" ;;
    gif) giftopnm "$1" ;;
  esac 2>/dev/null | head -c 64 | sed -n 2p
}

# open_menu_entry: selects every picture, opens the pop-up menu on a selected one (row 2, after ".."
# and the folder qlm-web) and takes the third entry (below "markiere alles" and "Fehlende
# Thumbnails erzeugen").
# From left of the click, so that part of the list stays beside a menu of any length.
MENU_AREA=(96 "$(e2e_row_y 2)" 220 60)
open_menu_entry() {
  xdotool key ctrl+a
  e2e_park_mouse
  e2e_grab "${LIST[@]}" "$E2E_TMP/list_selected.ppm"
  e2e_grab "${MENU_AREA[@]}" "$E2E_TMP/menu_closed.ppm"
  e2e_move $((E2E_CX + 110)) $((E2E_CY + $(e2e_row_y 2)))
  xdotool click 3
  e2e_wait_region_change "${MENU_AREA[@]}" "$E2E_TMP/menu_closed.ppm" || e2e_fail "no pop-up menu"
  e2e_shot "$1"
  xdotool key Down Down Down Return
}

e2e_start_program
e2e_activate
open_menu_entry 1-pop-up-menu

e2e_wait_until 20 eval 'test -s "$gallery/qlm-web/a_1600.jpg" && test -s "$gallery/qlm-web/b_800.png"' ||
  e2e_fail "the missing web copies were not made"
e2e_check "a_1600.jpg is 1600 x 1200" test "$(size "$gallery/qlm-web/a_1600.jpg")" = "1600 1200"
e2e_check "b_800.png is 480 x 800" test "$(size "$gallery/qlm-web/b_800.png")" = "480 800"
e2e_check "the existing a_800.jpg is kept" cmp -s "$gallery/qlm-web/a_800.jpg" "$E2E_TMP/a_800.before"
e2e_check "the pictures are unchanged" bash -c "cd '$gallery' && md5sum -c --quiet '$E2E_TMP/pictures.md5'"
e2e_check "no copy larger than the picture, no temporary file" test \
  "$(cd "$gallery/qlm-web" && ls -A | tr '\n' '|')" = "a_1600.jpg|a_800.jpg|b_800.png|"
e2e_park_mouse
e2e_check "the list was read again" e2e_wait_region_change "${LIST[@]}" "$E2E_TMP/list_selected.ppm"
e2e_check "no warning: every picture has its copies" eval "! e2e_has_window_named '^Warnung\$'"
e2e_shot 2-web-pictures-made

# A picture the decoder refuses is named in a warning, and nothing is made for it.
printf 'kein JPEG\n' >"$gallery/d.jpg"
e2e_activate
e2e_click 50 48 # "Reload"
e2e_wait_until 10 eval 'e2e_region_differs "${LIST[@]}" "$E2E_TMP/list_selected.ppm"'
open_menu_entry 3-pop-up-menu-again
e2e_wait_until 20 e2e_has_window_named '^Warnung$' || e2e_fail "no warning for the damaged d.jpg"
e2e_shot_box 4-not-made Warnung
e2e_answer_box Warnung
e2e_check "no copy of the damaged picture" test ! -e "$gallery/qlm-web/d_800.jpg"
e2e_close_program
e2e_check "the program ended normally" test "$E2E_EXIT" -eq 0
e2e_log "passed"
