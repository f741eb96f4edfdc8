#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# "Galerie im Browser zeigen" on a desktop without a browser: xdg-open ends with status 3, and the
# window says so in a warning box that names the page, instead of doing nothing.
# Arguments: <program> <screenshot folder> <source tree>

source "$(dirname "$0")/lib.sh"
e2e_setup failed_hand_off "$@"

gallery=$(realpath "$E2E_TMP")/kamera
mkdir "$gallery"
e2e_make_picture "$gallery/a.jpg" 40 30 red
printf '<html></html>\n' >"$gallery/index.html"
printf '[Settings]\nDir=%s/\n' "$gallery" >"$(e2e_ini)"

# An xdg-open that finds no program for the file, as on a desktop without a browser.
mkdir "$E2E_TMP/fake-bin"
cat >"$E2E_TMP/fake-bin/xdg-open" <<SCRIPT
#!/bin/sh
printf '%s\\n' "\$1" >>"$E2E_TMP/opened"
echo "xdg-open: no method available for opening '\$1'" >&2
exit 3
SCRIPT
chmod +x "$E2E_TMP/fake-bin/xdg-open"
export PATH="$E2E_TMP/fake-bin:$PATH"

e2e_start_program
e2e_activate
# The pop-up menu on the first picture (row 1, after ".."); its fifth entry is the gallery's.
e2e_move $((E2E_CX + 110)) $((E2E_CY + $(e2e_row_y 1)))
xdotool click 3
e2e_wait_until 5 eval '[[ -n "$(xdotool search --all --pid "$E2E_PROG_PID" --onlyvisible --name "" 2>/dev/null | grep -v -x "$E2E_WIN")" ]]' ||
  e2e_fail "no pop-up menu"
xdotool key Down Down Down Down Down Return

e2e_wait_until 10 test -s "$E2E_TMP/opened" || e2e_fail "xdg-open was not called"
e2e_check "xdg-open was given the overview page" test "$(cat "$E2E_TMP/opened")" = "$gallery/index.html"
e2e_wait_until 10 e2e_has_window_named '^Warnung$' || e2e_fail "no warning box after xdg-open failed"
e2e_shot_box 1-no-browser Warnung
e2e_answer_box Warnung
e2e_check "the window is still there" e2e_program_alive
e2e_close_program
e2e_check "the program ended normally" test "$E2E_EXIT" = 0
