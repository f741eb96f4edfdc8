#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# "Make HTML" and "Correct Names" in the real window: the questions of a folder without texts
# answered in the real dialog (umlauts and leading blanks kept byte for byte), a second run that
# asks nothing and writes only the page that changed, with its ".bak" copy, the warning for a missing thumbnail, a damaged picture that
# stops the run with the window usable again, and names corrected with all their companions.
# Arguments: <program> <screenshot folder> <source tree>

source "$(dirname "$0")/lib.sh"
e2e_setup make_gallery "$@"

MAKE_HTML=(424 312 113 38)
CORRECT_NAMES=(424 360 113 38)
LIST=(16 56 385 241)

gallery=$(realpath "$E2E_TMP")/galerie
mkdir "$gallery"
e2e_make_picture "$gallery/a.jpg" 64 48 red
e2e_make_picture "$gallery/b.png" 30 40 blue
e2e_make_picture "$gallery/c.gif" 20 20 yellow
e2e_make_picture "$gallery/t_a.jpg" 16 12 red
e2e_make_picture "$gallery/t_b.png" 15 20 blue
printf '[Settings]\nDir=%s/\n' "$gallery" >"$(e2e_ini)"

# The dialog is frameless; the window system knows it by its name "Frage". One dialog serves every
# question, so a question is known to be answered once its text file is there.
wait_question() { e2e_wait_until 20 e2e_has_window_named '^Frage$' || e2e_fail "no question for $1"; }

# answer <text file> <text>: types the text into the open question (replacing the selected initial
# text) and confirms it with Return; an empty text confirms the field as it stands.
answer() {
  wait_question "$1"
  e2e_activate "$(e2e_window_named '^Frage$')"
  [[ -n "$2" ]] && xdotool type --delay 20 -- "$2"
  xdotool key Return
  e2e_wait_until 10 test -e "$gallery/$1" || e2e_fail "the answer did not reach $1"
  e2e_log "answered the question for $1"
}

decline() {
  wait_question "$1"
  e2e_activate "$(e2e_window_named '^Frage$')"
  xdotool key Escape
  e2e_wait_until 10 test -e "$gallery/$1" || e2e_fail "the declined answer did not reach $1"
  e2e_log "declined the question for $1"
}

click_make_html() {
  e2e_activate
  e2e_click $((MAKE_HTML[0] + 56)) $((MAKE_HTML[1] + 19))
}

# ---- first run: every question, in order ----
e2e_german_keys
e2e_start_program
e2e_activate
xdotool key ctrl+a
e2e_park_mouse
e2e_grab "${LIST[@]}" "$E2E_TMP/list.ppm"
click_make_html

wait_question title.txt
e2e_shot_box 1-title-question Frage
# The dialog has no help: F1 there opens no viewer (nor, as here without the viewer module, the
# warning that it is missing), and the question stays open.
e2e_activate "$(e2e_window_named '^Frage$')"
xdotool key F1
if e2e_wait_until 2 eval "e2e_has_window_named '^Warnung\$' || e2e_has_window_named '^Quillmoor-Hilfe'"; then
  e2e_fail "F1 in the question opened help"
fi
e2e_check "the question is still open after F1" e2e_has_window_named '^Frage$'
answer title.txt '  Über den Wolken'
answer keywords.txt 'Berge, Seen'
# The description starts with the keywords; Return takes them as they stand.
answer description.txt ''
# While a picture's question is open, the window shows its progress and the picture beside it.
wait_question a.txt
e2e_park_mouse
e2e_shot 2-progress-with-question
answer a.txt 'Größe & Maß'
decline b.txt
e2e_wait_until 20 e2e_has_window_named '^Warnung$' || e2e_fail "no warning for the missing t_c.gif"
e2e_shot_box 3-missing-thumbnail Warnung
e2e_answer_box Warnung
answer c.txt ' drei '
e2e_wait_until 20 test -s "$gallery/index.html" || e2e_fail "no index.html after the run"

expect_bytes() {
  local got
  got=$(od -An -tx1 "$gallery/$1" | tr -d ' \n')
  [[ "$got" == "$(printf '%s' "$2" | od -An -tx1 | tr -d ' \n')" ]] || e2e_fail "$1 holds '$(cat "$gallery/$1")', expected '$2'"
}
expect_bytes title.txt '  Über den Wolken'
expect_bytes keywords.txt 'Berge, Seen'
expect_bytes description.txt 'Berge, Seen'
expect_bytes a.txt 'Größe & Maß'
expect_bytes b.txt '<notext>'
expect_bytes c.txt ' drei '
e2e_check "index.html holds the title" grep -qF '<title>  Über den Wolken</title>' "$gallery/index.html"
e2e_check "a.html holds its text" grep -qF '<figcaption>Größe & Maß</figcaption>' "$gallery/a.html"
e2e_check "a.html holds the picture's size" grep -qF 'width="64" height="48" alt="Größe & Maß">' "$gallery/a.html"
e2e_check "b.html has no text" grep -qF '<figcaption></figcaption>' "$gallery/b.html"
e2e_check "the window is back with the list" e2e_wait_region_equal "${LIST[@]}" "$E2E_TMP/list.ppm"
e2e_shot 4-after-run

# ---- second run: nothing is asked; only index.html, edited by hand since, is written again ----
for page in index a b c; do cp "$gallery/$page.html" "$E2E_TMP/$page.first"; done
printf 'von Hand' >"$gallery/index.html"
click_make_html
e2e_wait_until 20 e2e_has_window_named '^Warnung$' || e2e_fail "no warning for t_c.gif in the second run"
e2e_check "the second run asked nothing before the warning" eval "! e2e_has_window_named '^Frage\$'"
e2e_answer_box Warnung
e2e_wait_until 20 cmp -s "$gallery/index.html" "$E2E_TMP/index.first" ||
  e2e_fail "index.html was not written again in the second run"
e2e_check "index.html.bak holds the edited page" grep -qxF 'von Hand' "$gallery/index.html.bak"
for page in index a b c; do
  e2e_check "$page.html is the first run's page again" cmp -s "$gallery/$page.html" "$E2E_TMP/$page.first"
done
for page in a b c; do
  e2e_check "the unchanged $page.html got no .bak" test ! -e "$gallery/$page.html.bak"
done
e2e_check "no question in the second run" eval "! e2e_has_window_named '^Frage\$'"

# ---- a damaged picture stops the run; the window is usable at once ----
printf 'kein JPEG\n' >"$gallery/d.jpg"
e2e_make_picture "$gallery/t_d.jpg" 8 6 red
e2e_activate
e2e_click 50 48 # "Reload" lists the folder again
e2e_wait_region_change "${LIST[@]}" "$E2E_TMP/list.ppm" || e2e_fail "Reload did not show d.jpg"
xdotool key ctrl+a
e2e_park_mouse
e2e_grab "${MAKE_HTML[@]}" "$E2E_TMP/make_on.ppm"
# The four selected picture rows (the parent row above them may take the focus mark).
PICTURE_ROWS=(18 75 360 68)
e2e_grab "${PICTURE_ROWS[@]}" "$E2E_TMP/rows_d.ppm"
rm "$gallery/index.html"
click_make_html
e2e_wait_until 20 e2e_has_window_named '^Warnung$' || e2e_fail "no warning for t_c.gif before the damaged picture"
e2e_answer_box Warnung
e2e_wait_until 20 e2e_has_window_named '^QLM 2$' || e2e_fail "no error box for the damaged d.jpg"
e2e_shot_box 5-damaged QLM\ 2
e2e_answer_box 'QLM 2'
e2e_park_mouse
e2e_check "the list is back after the damaged picture, the selection kept" \
  e2e_wait_region_equal "${PICTURE_ROWS[@]}" "$E2E_TMP/rows_d.ppm"
e2e_check "'Make HTML' is enabled again" e2e_wait_region_equal "${MAKE_HTML[@]}" "$E2E_TMP/make_on.ppm"
e2e_check "no index.html from the stopped run" test ! -e "$gallery/index.html"
e2e_shot 6-after-damaged
e2e_close_program
e2e_check "the program ended normally" test "$E2E_EXIT" -eq 0

# ---- Correct Names: the picture and its three companions, then the list read again ----
names=$(realpath "$E2E_TMP")/namen
mkdir "$names"
e2e_make_picture "$names/Über Straße 1.jpg" 40 30 green
e2e_make_picture "$names/t_Über Straße 1.jpg" 8 6 green
printf 'Text\r\n' >"$names/Über Straße 1.txt"
printf '<p>Seite</p>' >"$names/Über Straße 1.html"
printf '[Settings]\nDir=%s/\n' "$names" >"$(e2e_ini)"
e2e_start_program
e2e_park_mouse
e2e_grab "${MAKE_HTML[@]}" "$E2E_TMP/make_off2.ppm"
e2e_grab "${CORRECT_NAMES[@]}" "$E2E_TMP/names_off.ppm"
e2e_activate
xdotool key ctrl+a
e2e_park_mouse
e2e_grab "${LIST[@]}" "$E2E_TMP/names_before.ppm"
e2e_activate
e2e_click $((CORRECT_NAMES[0] + 56)) $((CORRECT_NAMES[1] + 19))
e2e_wait_until 10 test -e "$names/UeberStrasse1.jpg" || e2e_fail "the picture was not renamed"
e2e_check "all four files renamed" test "$(cd "$names" && ls | tr '\n' '|')" = \
  "UeberStrasse1.html|UeberStrasse1.jpg|UeberStrasse1.txt|t_UeberStrasse1.jpg|"
e2e_check "the text kept its content" cmp -s "$names/UeberStrasse1.txt" <(printf 'Text\r\n')
e2e_park_mouse
e2e_check "the list shows the new name" e2e_wait_region_change "${LIST[@]}" "$E2E_TMP/names_before.ppm"
e2e_check "'Make HTML' is disabled afterwards" e2e_wait_region_equal "${MAKE_HTML[@]}" "$E2E_TMP/make_off2.ppm"
e2e_check "'Correct Names' is disabled afterwards" e2e_region_equals "${CORRECT_NAMES[@]}" "$E2E_TMP/names_off.ppm"
e2e_shot 7-names-corrected
e2e_close_program
e2e_log "passed"
