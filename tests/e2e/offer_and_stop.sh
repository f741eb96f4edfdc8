#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A first gallery without a flood of boxes, and a run that can be stopped, in the real window:
# Make HTML over a folder that would ask and warn more than ten times first shows one box, and
# Escape there leaves the folder as it was; a folder of one missing text asks its question at
# once, without that box, and the note after it opens the gallery; a long run stopped with
# "Abbrechen" in its progress display keeps the pages it wrote, writes no index.html and says how
# far it got.
# Arguments: <program> <screenshot folder> <source tree>

source "$(dirname "$0")/lib.sh"
e2e_setup offer_and_stop "$@"

MAKE_HTML=(424 312 113 38)
SHOW_IN_BROWSER=(301 40 100 17) # the button of the note after Make HTML, over the list

# An xdg-open that notes what it was given, as a desktop's would open it.
mkdir "$E2E_TMP/fake-bin"
cat >"$E2E_TMP/fake-bin/xdg-open" <<SCRIPT
#!/bin/sh
printf '%s\\n' "\$1" >>"$E2E_TMP/opened"
SCRIPT
chmod +x "$E2E_TMP/fake-bin/xdg-open"
export PATH="$E2E_TMP/fake-bin:$PATH"
STOP_RUN=(39 112 100 25) # "Abbrechen" in the progress display, over the list

click_make_html() {
  e2e_activate
  e2e_click $((MAKE_HTML[0] + 56)) $((MAKE_HTML[1] + 19))
}

# start_in <folder>: the window, started on that folder with all of it selected.
start_in() {
  printf '[Settings]\nDir=%s/\n%s' "$1" "${2:-}" >"$(e2e_ini)"
  e2e_start_program
  e2e_activate
  xdotool key ctrl+a
  e2e_park_mouse
}

# ---- more than ten boxes ahead: one box first, and Escape there changes nothing ----
many=$(realpath "$E2E_TMP")/viele
mkdir "$many"
for i in 01 02 03 04 05 06 07 08 09 10 11 12; do
  e2e_make_picture "$many/bild$i.jpg" 40 30 green
done
start_in "$many"
click_make_html
e2e_wait_until 20 e2e_has_window_named '^Make HTML$' || e2e_fail "no offer before a run of many boxes"
e2e_check "no question came before the offer" eval "! e2e_has_window_named '^Frage$'"
e2e_shot_box 1-offer 'Make HTML'
e2e_activate "$(e2e_window_named '^Make HTML$')"
xdotool key Escape
e2e_wait_until 10 eval "! e2e_has_window_named '^Make HTML\$'" || e2e_fail "Escape did not close the offer"
sleep 1
e2e_check "no question follows Escape" eval "! e2e_has_window_named '^Frage$'"
e2e_check "Escape wrote no overview" test ! -e "$many/index.html"
e2e_check "Escape wrote no page" test ! -e "$many/bild01.html"
e2e_check "Escape stored no text" test -z "$(find "$many" -name '*.txt')"
e2e_close_program
e2e_check "the program ended normally after the offer" test "$E2E_EXIT" = 0

# ---- one question ahead: asked at once, no offer ----
few=$(realpath "$E2E_TMP")/wenige
mkdir "$few"
e2e_make_picture "$few/a.jpg" 40 30 red
e2e_make_picture "$few/t_a.jpg" 20 15 red
printf 'Titel' >"$few/title.txt"
printf 'Stichworte' >"$few/keywords.txt"
printf 'Beschreibung' >"$few/description.txt"
start_in "$few"
click_make_html
e2e_wait_until 20 e2e_has_window_named '^Frage$' || e2e_fail "the one question was not asked"
e2e_check "no offer before a run of one box" eval "! e2e_has_window_named '^Make HTML$'"
e2e_activate "$(e2e_window_named '^Frage$')"
xdotool key Escape
e2e_wait_until 20 test -s "$few/index.html" || e2e_fail "the run of one question wrote no overview"
# The note after the run offers the gallery in the browser.
e2e_wait_settled "${SHOW_IN_BROWSER[@]}"
e2e_shot 3-note-after-make-html
e2e_click $((SHOW_IN_BROWSER[0] + 50)) $((SHOW_IN_BROWSER[1] + 8))
e2e_wait_until 10 test -s "$E2E_TMP/opened" || e2e_fail "the note's button opened nothing"
e2e_check "the note's button opens the overview" test "$(cat "$E2E_TMP/opened")" = "$few/index.html"
e2e_close_program

# ---- a long run stopped from its progress display ----
long=$(realpath "$E2E_TMP")/lang
mkdir "$long"
# Photos of noise take a while to decode for the preview, so that the run lasts some seconds; the
# pictures are links of one file, which the run reads as so many pictures.
pgmnoise 2400 1800 | pnmtojpeg --quality=90 >"$E2E_TMP/rauschen.jpg" || e2e_fail "could not make a photo"
for i in $(seq -w 1 150); do
  ln "$E2E_TMP/rauschen.jpg" "$long/bild$i.jpg"
done
printf 'Lang' >"$long/title.txt"
# Nothing asked or warned, so that only the stop ends the run early.
start_in "$long" $'Keywords=false\nDescription=false\nAlt=false\nWarn=false\n'
e2e_grab "${STOP_RUN[@]}" "$E2E_TMP/before-run.ppm"
click_make_html
# The progress display comes up over the list; then its "Abbrechen" is there to be clicked.
e2e_wait_region_change "${STOP_RUN[@]}" "$E2E_TMP/before-run.ppm" || e2e_fail "no progress display"
e2e_click $((STOP_RUN[0] + 50)) $((STOP_RUN[1] + 12))
e2e_wait_until 30 e2e_has_window_named '^Warnung$' || e2e_fail "no box after stopping"
e2e_shot_box 2-stopped Warnung
e2e_answer_box Warnung
pages=$(find "$long" -name 'bild*.html' | wc -l)
e2e_check "the stopped run wrote no overview" test ! -e "$long/index.html"
e2e_check "the stopped run kept the pages it wrote ($pages of 150)" test "$pages" -ge 1 -a "$pages" -lt 150
e2e_check "no temporary is left" test -z "$(find "$long" -name '.qlm-*')"
page=$(find "$long" -name 'bild*.html' | head -n 1)
e2e_check "a page it kept is whole" grep -q '</html>' "$page"
e2e_check "the window is usable again" e2e_program_alive
e2e_close_program
e2e_check "the program ended normally" test "$E2E_EXIT" = 0
