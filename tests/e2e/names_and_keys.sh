#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# "Correct Names" and the keys in the real window: a picture whose corrected name is taken keeps its
# thumbnail, text and page; a picture renamed alone leaves another picture's text and page that
# differ from its own names only in case; Return and keypad Enter press the focused command button;
# after "Correct Names" the list has the focus again, so Space changes no setting; in the question,
# Return on a focused "kein Text" declines whatever was typed.
# Arguments: <program> <screenshot folder> <source tree>

source "$(dirname "$0")/lib.sh"
e2e_setup names_and_keys "$@"

folder=$(realpath "$E2E_TMP")/bilder
mkdir "$folder"
e2e_make_picture "$folder/a b.jpg" 40 30 red
e2e_make_picture "$folder/t_a b.jpg" 8 6 red
printf 'Text von a b' >"$folder/a b.txt"
printf '<p>Seite von a b</p>' >"$folder/a b.html"
e2e_make_picture "$folder/ab.jpg" 30 40 blue
e2e_make_picture "$folder/C d.jpg" 20 20 green
e2e_make_picture "$folder/c d.png" 20 20 yellow
printf 'Text von c d' >"$folder/c d.txt"
printf '<p>Seite von c d</p>' >"$folder/c d.html"
# Only the title is asked, and no thumbnail warning comes up; "Images without Alt" is off.
printf '[Settings]\nDir=%s/\nKeywords=false\nDescription=false\nAlt=false\nWarn=false\nImgWoAlt=false\nThumbsJPG=false\n' \
  "$folder" >"$(e2e_ini)"

listing() { (cd "$folder" && ls | tr '\n' '|'); }

# ctrl_click_row <row>: adds the row to the selection (away from the spot of the last click).
ctrl_click_row() {
  e2e_move $((E2E_CX + 200)) $((E2E_CY + $(e2e_row_y "$1")))
  xdotool keydown ctrl click 1 keyup ctrl
}

e2e_start_program
e2e_activate
# The list: "..", then "a b.jpg" and "ab.jpg" (in either order), "C d.jpg", "c d.png".
e2e_click_row 1
ctrl_click_row 2
ctrl_click_row 3
e2e_park_mouse

# ---- Return on the focused "Correct Names" (from the list: four option boxes, then the button) ----
xdotool key Tab Tab Tab Tab Tab Return
e2e_wait_until 10 test -e "$folder/Cd.jpg" || e2e_fail "Return on the focused 'Correct Names' renamed nothing"
e2e_check "the clash left 'a b.jpg' and its companions as they were, 'C d.jpg' alone was renamed" \
  test "$(listing)" = "Cd.jpg|a b.html|a b.jpg|a b.txt|ab.jpg|c d.html|c d.png|c d.txt|t_a b.jpg|"
e2e_check "the text of 'a b.jpg' is still its own" grep -qxF 'Text von a b' "$folder/a b.txt"
e2e_check "the text of 'c d.png' is still its own" grep -qxF 'Text von c d' "$folder/c d.txt"
e2e_shot 1-names-corrected

# ---- the list has the focus again: Space changes no setting, Ctrl+A selects the pictures ----
xdotool key space
xdotool key ctrl+a

# ---- keypad Enter on the focused "Make HTML" (before the list in the tab order) ----
xdotool key shift+Tab KP_Enter
e2e_wait_until 20 e2e_has_window_named '^Frage$' || e2e_fail "keypad Enter on the focused 'Make HTML' started no run"
e2e_activate "$(e2e_window_named '^Frage$')"
# The typed text, then the focus on to "übernehmen" and "kein Text": Return presses that one.
xdotool type --delay 20 XYZ
xdotool key Tab Tab Return
e2e_wait_until 10 test -e "$folder/title.txt" || e2e_fail "the answer did not reach title.txt"
e2e_check "Return on the focused 'kein Text' declined" test "$(cat "$folder/title.txt")" = '<notext>'
e2e_wait_until 20 test -s "$folder/index.html" || e2e_fail "no index.html after the run"

e2e_close_program
e2e_check "the program ended normally" test "$E2E_EXIT" -eq 0
e2e_check "Space after 'Correct Names' left 'Images without Alt' off" test "$(e2e_ini_value ImgWoAlt)" = false
e2e_expect_settings "$folder/" false false false false false false
e2e_log "passed"
