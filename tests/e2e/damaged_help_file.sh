#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Damaged help files on F1 in the real window: the viewer refuses each with its note, as it refuses
# a file whose headers are damaged, and the window goes on working: the next F1 with the sound
# help file opens the viewer. The damaged files are the made-up ones whose directory index sends
# chmlib round for ever (the window hung) or past the end of a directory block (see
# tests/data/help/README.md). One run of the program: the viewer reads the help file anew on each F1
# until it has opened it.
# Arguments: <program> <screenshot folder> <source tree>

source "$(dirname "$0")/lib.sh"
e2e_setup damaged_help_file "$@"

program_dir=$(dirname "$E2E_BIN")
cp "$program_dir/libqlmhelpview.so" "$E2E_TMP/bin/" || e2e_fail "no libqlmhelpview.so beside the program"
cp "$program_dir/QLM.chm" "$E2E_TMP/sound.chm" || e2e_fail "no QLM.chm beside the program"
damaged="$E2E_SRC/tests/data/help"

VIEWER='^Quillmoor-Hilfe: Das Hauptfenster$'
viewer_gone() { ! e2e_has_window_named '^Quillmoor-Hilfe'; }

# f1_note <help file> <step>: F1 in the folder list with <help file> as the program's QLM.chm; the
# viewer's note (title "Hilfe") comes, and no viewer window. Its picture is left in note.ppm.
f1_note() {
  cp "$1" "$E2E_TMP/bin/QLM.chm"
  e2e_activate
  e2e_click_row 0
  xdotool key F1
  e2e_wait_until 20 e2e_has_window_named '^Hilfe$' || e2e_fail "F1 with $(basename "$1") showed no note"
  e2e_activate "$(e2e_window_named '^Hilfe$')"
  e2e_shot_box "$2" Hilfe
  mv "$E2E_TMP/settle.ppm" "$E2E_TMP/note.ppm"
  e2e_check "no viewer window with $(basename "$1")" viewer_gone
  e2e_answer_box Hilfe
}

e2e_start_program

# A file refused by its headers (a directory block of 500 MB) gives the note to compare with: the
# same words for the same file name.
f1_note "$damaged/huge_directory_block.chm" 1-headers
mv "$E2E_TMP/note.ppm" "$E2E_TMP/refused.ppm"

f1_note "$damaged/pmgi_points_at_itself.chm" 2-index-points-at-itself
e2e_check "the note on the index that points at itself says the file cannot be read" \
  cmp -s "$E2E_TMP/note.ppm" "$E2E_TMP/refused.ppm"
f1_note "$damaged/pmgi_entry_past_block.chm" 3-index-entry-past-block
e2e_check "the note on the index entry past its block says the file cannot be read" \
  cmp -s "$E2E_TMP/note.ppm" "$E2E_TMP/refused.ppm"

# The window still answers: F1 with the sound help file opens the viewer at the main window's topic.
cp "$E2E_TMP/sound.chm" "$E2E_TMP/bin/QLM.chm"
e2e_activate
e2e_click_row 0
xdotool key F1
e2e_wait_until 20 e2e_has_window_named "$VIEWER" || e2e_fail "F1 with the sound help file opened no viewer"
e2e_check "no note with the sound help file" test -z "$(e2e_window_named '^Hilfe$')"

e2e_close_program
e2e_check "the program ended normally" test "$E2E_EXIT" -eq 0
e2e_log "passed"
