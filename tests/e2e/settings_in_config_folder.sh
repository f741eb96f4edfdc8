#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A user who cannot write the program's folder: run as "nobody" (when the test runs as root) with
# the executable in a read-only folder, the window keeps "QLM.ini" in ~/.config/quillmoor/,
# closes without an error box, and finds its settings there at the next start.
# Arguments: <program> <screenshot folder> <source tree>

source "$(dirname "$0")/lib.sh"
e2e_setup settings_in_config_folder "$@"

config_ini="$XDG_CONFIG_HOME/quillmoor/QLM.ini"
# The helpers of lib.sh read the settings from here.
e2e_ini() { printf '%s' "$config_ini"; }

as_user=()
if [[ $(id -u) -eq 0 ]]; then
  command -v setpriv >/dev/null || e2e_fail "setpriv is not installed"
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
  # The sandbox is the user's, but for the program's folder.
  chmod 755 "$E2E_TMP"
  chown -R nobody:nogroup "$E2E_TMP/home" "$E2E_TMP/wd" "$E2E_TMP/runtime"
fi
chmod 555 "$E2E_TMP/bin"
e2e_check "the program's folder is closed to the user" test "$("${as_user[@]}" sh -c "test -w '$E2E_TMP/bin' || echo closed")" = closed

launch_as_user() {
  (cd "$E2E_TMP/wd" && exec "${as_user[@]}" "$E2E_TMP/bin/quillmoor") >>"$E2E_TMP/program.log" 2>&1 &
  E2E_PROG_PID=$!
  printf '%s\n' "$E2E_PROG_PID" >"$E2E_TMP/program.pid"
  e2e_log "program started (pid $E2E_PROG_PID)"
  e2e_find_window
}

# Closes the window and fails when an error box comes up instead of the program ending.
close_without_error_box() {
  e2e_activate
  xdotool key alt+F4
  e2e_wait_until 10 eval '! e2e_program_alive || e2e_has_window_named "^QLM 2\$"' ||
    e2e_fail "the program neither ended nor showed a box"
  if e2e_has_window_named '^QLM 2$'; then
    e2e_shot_box error-box 'QLM 2'
    e2e_fail "closing showed an error box"
  fi
  e2e_wait_program_end 10
  e2e_check "the program ended normally" test "$E2E_EXIT" -eq 0
}

launch_as_user
# Check "all thumbs JPG", so that the settings differ from the defaults.
e2e_click $((288 + 8)) $((336 + 8))
e2e_park_mouse
close_without_error_box
e2e_check "QLM.ini was written to the configuration folder" test -s "$config_ini"
e2e_expect_settings "" true true true true true true
e2e_check "nothing was written beside the program" test ! -e "$E2E_TMP/bin/QLM.ini"
if [[ ${#as_user[@]} -gt 0 ]]; then
  e2e_check "the file belongs to the user" test "$(stat -c %U "$config_ini")" = nobody
fi
e2e_check "the folder is the user's alone" test "$(stat -c %a "$(dirname "$config_ini")")" = 700

# The next start reads the file: the box is still checked, and closing keeps it so.
"${as_user[@]}" sed -i "s/^Keywords=true/Keywords=false/" "$config_ini"
launch_as_user
close_without_error_box
e2e_expect_settings "" false true true true true true
e2e_log "passed"
