#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Context help in the real window: F1 with the focus in the folder list and on a check box opens the
# help viewer at the main window's topic (the same viewer window again the second time), closing the
# main window ends the program with the viewer open, and without the viewer module every F1 shows
# the warning and the help trace ("debug.debug" beside the program) records why.
# Arguments: <program> <screenshot folder> <source tree>

source "$(dirname "$0")/lib.sh"
e2e_setup help "$@"

# The viewer module and the help file live beside the program.
program_dir=$(dirname "$E2E_BIN")
for file in libqlmhelpview.so QLM.chm; do
  cp "$program_dir/$file" "$E2E_TMP/bin/$file" || e2e_fail "no $file beside the program"
done

VIEWER='^Quillmoor-Hilfe: Das Hauptfenster$'
# "ask Keywords": a click gives it the focus.
KEYWORDS_BOX=(133 320)

viewer_shown() { e2e_has_window_named "$VIEWER"; }
viewer_gone() { ! e2e_has_window_named '^Quillmoor-Hilfe'; }

# shot_viewer <step>: waits until the viewer has drawn itself and keeps its picture.
shot_viewer() {
  local win
  win=$(e2e_window_named "$VIEWER")
  rm -f "$E2E_TMP/settle.prev"
  e2e_wait_until 10 e2e_stable e2e_grab_window "$win" || e2e_fail "the viewer did not draw itself"
  pnmtopng <"$E2E_TMP/settle.ppm" >"$E2E_SHOTS/$E2E_NAME-$1.png" 2>/dev/null
  e2e_check "the viewer shows a page (many colours)" test "$(e2e_colours "$E2E_TMP/settle.ppm")" -gt 20
  e2e_log "screenshot $E2E_NAME-$1.png"
}

# ---- with the viewer ----
e2e_start_program
e2e_activate
e2e_click_row 0
xdotool key F1
e2e_wait_until 20 viewer_shown || e2e_fail "F1 in the folder list opened no viewer at the main window's topic"
first_viewer=$(e2e_window_named "$VIEWER")
e2e_park_mouse
shot_viewer 1-folder-list

# The user closes the viewer; F1 on a check box brings it back at the topic.
e2e_activate "$first_viewer"
xdotool key alt+F4
e2e_wait_until 10 viewer_gone || e2e_fail "Alt+F4 did not close the viewer"
e2e_check "the program lives on without the viewer" e2e_program_alive
e2e_activate
e2e_click "${KEYWORDS_BOX[@]}"
xdotool key F1
e2e_wait_until 20 viewer_shown || e2e_fail "F1 on a check box opened no viewer at the main window's topic"
e2e_check "one viewer window" test "$(xdotool search --all --pid "$E2E_PROG_PID" --onlyvisible --name '^Quillmoor-Hilfe' | wc -l)" -eq 1
e2e_park_mouse
shot_viewer 2-check-box

# Closing the main window ends the program although the viewer is open, and takes the viewer along.
e2e_close_program
e2e_check "the program ended normally" test "$E2E_EXIT" -eq 0
e2e_check "no viewer window is left" test -z "$(xdotool search --name '^Quillmoor-Hilfe' 2>/dev/null)"

# ---- without the viewer module: the warning, each time; the help trace tells why ----
rm "$E2E_TMP/bin/libqlmhelpview.so"
touch "$E2E_TMP/bin/debug.debug"
e2e_start_program
e2e_activate
e2e_click_row 0
for press in 1 2; do
  xdotool key F1
  e2e_wait_until 10 e2e_has_window_named '^Warnung$' || e2e_fail "F1 number $press without the viewer showed no warning"
  ((press == 1)) && e2e_shot_box 3-no-viewer Warnung
  e2e_answer_box Warnung
  e2e_activate
done
e2e_check "no viewer window without the module" viewer_gone
e2e_close_program
e2e_check "the program ended normally" test "$E2E_EXIT" -eq 0
trace="$E2E_TMP/bin/HHDebug.txt"
e2e_check "the trace names the missing viewer" grep -q 'viewer installed: no' "$trace"
e2e_check "the trace holds both requests and both warnings" \
  test "$(grep -c 'help request: command 1, data 1: show context' "$trace")" -eq 2 -a \
  "$(grep -c 'no viewer: warning shown' "$trace")" -eq 2
e2e_log "passed"
