#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The saved folder was deleted between two runs: the start warns, shows the drive list, keeps the
# folder (so that "Reload" warns again), and writes the same folder back on close.
# Arguments: <program> <screenshot folder> <source tree>

source "$(dirname "$0")/lib.sh"
e2e_setup lost_folder "$@"

gone=$(realpath "$E2E_TMP")/gone
printf '[Settings]\nDir=%s/\nThumbsJPG=true\nAlt=false\n' "$gone" >"$(e2e_ini)"

e2e_launch
e2e_wait_until 20 e2e_has_window_named '^Warnung$' || e2e_fail "no 'Warnung' box for the deleted folder"
e2e_shot_box 1-warning Warnung
e2e_answer_box Warnung

e2e_find_window
e2e_park_mouse
e2e_grab 8 8 689 17 "$E2E_TMP/mydir.ppm"
e2e_check "MyDir stays empty after the failed listing" test "$(e2e_colours "$E2E_TMP/mydir.ppm")" -eq 1
e2e_grab 18 58 360 17 "$E2E_TMP/row0.ppm"
e2e_check "the drive list is shown" test "$(e2e_colours "$E2E_TMP/row0.ppm")" -gt 1
e2e_shot 2-drives

# "Reload" is enabled and lists the kept folder again, which fails the same way.
e2e_activate
e2e_click $((8 + 32 + 10)) $((32 + 8 + 8))
e2e_wait_until 10 e2e_has_window_named '^Warnung$' || e2e_fail "'Reload' did not try the deleted folder again"
e2e_shot_box 3-warning-again Warnung
e2e_answer_box Warnung
e2e_find_window

e2e_close_program
e2e_check "the program ended normally" test "$E2E_EXIT" -eq 0
e2e_expect_settings "$gone/" true true false true true true
e2e_log "passed"
