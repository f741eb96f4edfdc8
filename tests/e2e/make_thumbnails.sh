#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# "Fehlende Thumbnails erzeugen" from the folder list's pop-up menu in the real window: the
# missing thumbnails of the selected pictures are made at the thumbnail size (never enlarged), an
# existing one is kept byte for byte, and the list is read again with the thumbnails hidden.
# Arguments: <program> <screenshot folder> <source tree>

source "$(dirname "$0")/lib.sh"
e2e_setup make_thumbnails "$@"

LIST=(16 56 385 241)

gallery=$(realpath "$E2E_TMP")/kamera
mkdir "$gallery"
e2e_make_picture "$gallery/a.jpg" 400 300 red
e2e_make_picture "$gallery/b.png" 300 600 blue
e2e_make_picture "$gallery/c.gif" 50 40 yellow
e2e_make_picture "$gallery/t_a.jpg" 16 12 green
cp "$gallery/t_a.jpg" "$E2E_TMP/t_a.before"
printf '[Settings]\nDir=%s/\n' "$gallery" >"$(e2e_ini)"

# size <file>: "width height" of a picture, by the netpbm converter of its kind.
size() {
  case "${1##*.}" in
    jpg) jpegtopnm "$1" ;;
    png) pngtopnm "$1" ;;
    gif) giftopnm "$1" ;;
  esac 2>/dev/null | head -c 64 | sed -n 2p
}

e2e_start_program
e2e_activate
xdotool key ctrl+a
e2e_park_mouse
e2e_grab "${LIST[@]}" "$E2E_TMP/list_selected.ppm"

# A right click on a selected picture (row 1, after "..") opens the menu and keeps the selection.
# From left of the click and reaching below the menu, so that part of the list stays beside a
# menu of any length and the area never shows the menu's one colour alone.
MENU_AREA=(96 "$(e2e_row_y 1)" 220 140)
e2e_grab "${MENU_AREA[@]}" "$E2E_TMP/menu_closed.ppm"
e2e_move $((E2E_CX + 110)) $((E2E_CY + $(e2e_row_y 1)))
xdotool click 3
e2e_wait_region_change "${MENU_AREA[@]}" "$E2E_TMP/menu_closed.ppm" || e2e_fail "no pop-up menu"
# The menu is a window of its own, which the screen copy of Xvfb shows black: its picture is read
# from the menu window itself when it can be found.
menu_win=$(xdotool search --all --pid "$E2E_PROG_PID" --onlyvisible --name '' 2>/dev/null | grep -v -x "$E2E_WIN" | tail -n 1)
rm -f "$E2E_TMP/settle.prev"
if [[ -n "$menu_win" ]] && e2e_wait_until 5 e2e_stable e2e_grab_window "$menu_win"; then
  pnmtopng <"$E2E_TMP/settle.ppm" >"$E2E_SHOTS/$E2E_NAME-1-pop-up-menu.png" 2>/dev/null
else
  e2e_shot 1-pop-up-menu
fi
# The second entry, below "markiere alles".
xdotool key Down Down Return

e2e_wait_until 20 eval 'test -s "$gallery/t_b.png" && test -s "$gallery/t_c.gif"' ||
  e2e_fail "the missing thumbnails were not made"
e2e_check "t_b.png is 200 x 400" test "$(size "$gallery/t_b.png")" = "200 400"
e2e_check "t_c.gif keeps the picture's 50 x 40" test "$(size "$gallery/t_c.gif")" = "50 40"
e2e_check "the existing t_a.jpg is kept" cmp -s "$gallery/t_a.jpg" "$E2E_TMP/t_a.before"
e2e_check "no temporary file is left" test "$(cd "$gallery" && ls -A | tr '\n' '|')" = \
  "a.jpg|b.png|c.gif|t_a.jpg|t_b.png|t_c.gif|"
# The list was read again: the selection is gone, the thumbnails stay hidden.
e2e_park_mouse
e2e_check "the list was read again" e2e_wait_region_change "${LIST[@]}" "$E2E_TMP/list_selected.ppm"
e2e_check "no warning: every picture got its thumbnail" eval "! e2e_has_window_named '^Warnung\$'"
e2e_shot 2-thumbnails-made

# A picture the decoder refuses is named in a warning, and nothing is made for it.
printf 'kein JPEG\n' >"$gallery/d.jpg"
e2e_activate
e2e_click 50 48 # "Reload"
e2e_wait_until 10 eval 'e2e_region_differs "${LIST[@]}" "$E2E_TMP/list_selected.ppm"'
xdotool key ctrl+a
e2e_park_mouse
e2e_grab "${MENU_AREA[@]}" "$E2E_TMP/menu_closed.ppm"
e2e_move $((E2E_CX + 110)) $((E2E_CY + $(e2e_row_y 1)))
xdotool click 3
e2e_wait_region_change "${MENU_AREA[@]}" "$E2E_TMP/menu_closed.ppm" || e2e_fail "no pop-up menu the second time"
xdotool key Down Down Return
e2e_wait_until 20 e2e_has_window_named '^Warnung$' || e2e_fail "no warning for the damaged d.jpg"
e2e_shot_box 3-not-made Warnung
e2e_answer_box Warnung
e2e_check "no thumbnail for the damaged picture" test ! -e "$gallery/t_d.jpg"
e2e_close_program
e2e_check "the program ended normally" test "$E2E_EXIT" -eq 0
e2e_log "passed"
