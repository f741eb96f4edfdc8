#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Failures the user sees: a damaged picture's error box that leaves the previous picture on view,
# and a missing template that ends the program without touching "QLM.ini".
# Arguments: <program> <screenshot folder> <source tree>

source "$(dirname "$0")/lib.sh"
e2e_setup failures "$@"

PREVIEW=(424 32 273 273)

# "..", "bad.jpg", "good.png"
pics=$(realpath "$E2E_TMP")/pics
mkdir "$pics"
e2e_make_picture "$pics/good.png" 200 100 rgb:00/80/00
printf 'no picture in here, just text\n' >"$pics/bad.jpg"
printf '[Settings]\nDir=%s/\n' "$pics" >"$(e2e_ini)"

e2e_start_program
e2e_park_mouse
e2e_grab "${PREVIEW[@]}" "$E2E_TMP/preview_empty.ppm"
e2e_activate
e2e_click_row 2
e2e_park_mouse
e2e_wait_region_change "${PREVIEW[@]}" "$E2E_TMP/preview_empty.ppm" || e2e_fail "focusing good.png showed nothing"
e2e_grab "${PREVIEW[@]}" "$E2E_TMP/preview_good.ppm"
# The 200x100 picture is shown one to one, centred: at 460,118 in its own colour.
e2e_grab 460 118 200 100 "$E2E_TMP/picture.ppm"
e2e_check "the picture fills 460,118 200x100" test "$(ppmhist -noheader "$E2E_TMP/picture.ppm" | awk '{ print $1, $2, $3 }')" = "0 128 0"
e2e_shot 1-preview

# The damaged picture: the error box titled "QLM 2"; the good picture stays on view.
e2e_click_row 1
e2e_wait_until 10 e2e_has_window_named '^QLM 2$' || e2e_fail "no 'QLM 2' box for the damaged picture"
e2e_park_mouse
e2e_shot_box 2-damaged 'QLM 2'
e2e_answer_box 'QLM 2'
e2e_check "the program survives the damaged picture" e2e_program_alive
e2e_wait_region_equal "${PREVIEW[@]}" "$E2E_TMP/preview_good.ppm" || e2e_fail "the preview no longer shows good.png"
e2e_shot 3-after-error
e2e_close_program
e2e_check "the program ended normally" test "$E2E_EXIT" -eq 0

# ---- a required template is missing: "Fehler", then the program ends and writes nothing ----
rm "$E2E_TMP/wd/Pic.html"
printf '[Settings]\nDir=%s/\nThumbsJPG=true\n' "$pics" >"$(e2e_ini)"
cp "$(e2e_ini)" "$E2E_TMP/ini_before"
e2e_launch
e2e_wait_until 20 e2e_has_window_named '^Fehler$' || e2e_fail "no 'Fehler' box for the missing template"
e2e_shot_box 4-missing-template Fehler
e2e_activate "$(e2e_window_named '^Fehler$')"
xdotool key Return
e2e_wait_program_end 15
e2e_check "the program ended with a failure status" test "$E2E_EXIT" -eq 1
e2e_check "QLM.ini is untouched by the run that lacked a template" cmp -s "$(e2e_ini)" "$E2E_TMP/ini_before"
e2e_log "passed"
