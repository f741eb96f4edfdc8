# SPDX-License-Identifier: GPL-3.0-or-later
# Helpers for the end-to-end tests of the window program.
#
# Each test script sources this file and calls e2e_setup with its name and its three arguments
# (the program, the screenshot folder, the source tree). The test then has a private X server
# (Xvfb) with openbox, so that windows get real frames, and a sandbox folder: its own copy of the
# program (so "QLM.ini" beside the executable lands there), a working directory "wd" with the four
# required templates and a private HOME. Waits poll a condition against a deadline; everything
# started is ended on exit. Needs Xvfb, openbox, xdotool, x11-utils, xwd and netpbm.

set -u -o pipefail

# A misspelt or missing command must fail the test, not pass by unnoticed.
command_not_found_handle() {
  printf 'FAIL: command not found: %s\n' "$1" >&2
  kill -TERM $$
  return 127
}

E2E_NAME="" E2E_TMP="" E2E_XVFB_PID="" E2E_WM_PID="" E2E_WATCH_PID="" E2E_PROG_PID="" E2E_WIN=""
# Screen position of the client area's top-left corner and its size, set by e2e_find_window.
E2E_CX=0 E2E_CY=0 E2E_CW=0 E2E_CH=0
E2E_T0=$SECONDS

e2e_log() { printf '[%s %3ds] %s\n' "$E2E_NAME" "$((SECONDS - E2E_T0))" "$*"; }

# Reports the failure, keeps a screenshot of the screen as it was, and ends the test.
e2e_fail() {
  printf 'FAIL: %s: %s\n' "$E2E_NAME" "$*" >&2
  [[ -n "$E2E_XVFB_PID" ]] && e2e_shot_root failure
  if [[ -s "$E2E_TMP/program.log" ]]; then
    printf -- '--- program output ---\n' >&2
    tail -n 40 "$E2E_TMP/program.log" >&2
  fi
  exit 1
}

# e2e_check "what" command...: fails the test with "what" when the command fails.
e2e_check() {
  local what=$1
  shift
  "$@" || e2e_fail "$what"
  e2e_log "ok: $what"
}

# e2e_wait_until <seconds> command...: polls every 50 ms until the command succeeds.
e2e_wait_until() {
  local end=$((SECONDS + $1))
  shift
  until "$@"; do
    ((SECONDS < end)) || return 1
    sleep 0.05
  done
}

e2e_cleanup() {
  local pid
  for pid in "$E2E_PROG_PID" "$E2E_WM_PID" "$E2E_XVFB_PID"; do
    [[ -n "$pid" ]] && kill -0 "$pid" 2>/dev/null || continue
    kill "$pid" 2>/dev/null
    e2e_wait_until 5 eval "! kill -0 $pid 2>/dev/null"
    kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  [[ -n "$E2E_WATCH_PID" ]] && kill "$E2E_WATCH_PID" 2>/dev/null && wait "$E2E_WATCH_PID" 2>/dev/null
  if [[ -d "$E2E_TMP" ]]; then
    chmod -R u+rwx "$E2E_TMP" 2>/dev/null
    rm -rf "$E2E_TMP"
  fi
}

# Ends the processes of this test should the script itself be killed (for instance by the test
# driver's timeout), since no exit trap runs then.
e2e_start_watchdog() {
  local parent=$$ pids="$E2E_XVFB_PID $E2E_WM_PID" tmp=$E2E_TMP
  (
    while kill -0 "$parent" 2>/dev/null; do sleep 1; done
    # shellcheck disable=SC2086
    kill $pids $(cat "$tmp/program.pid" 2>/dev/null) 2>/dev/null
    sleep 1
    rm -rf "$tmp"
  ) &
  E2E_WATCH_PID=$!
}

# Xvfb picks a free display itself and writes its number once it accepts connections.
e2e_start_x() {
  Xvfb -displayfd 3 -screen 0 1024x768x24 -dpi 96 -nolisten tcp -noreset 3>"$E2E_TMP/display" \
    >"$E2E_TMP/xvfb.log" 2>&1 &
  E2E_XVFB_PID=$!
  e2e_wait_until 10 grep -q '^[0-9]' "$E2E_TMP/display" || e2e_fail "no X server (see $E2E_TMP/xvfb.log)"
  export DISPLAY=":$(head -n 1 "$E2E_TMP/display")"
  e2e_log "X server on $DISPLAY"
}

# The window manager runs once it answers wmctrl; a window mapped before that is sometimes never
# managed (no frame, and Alt+F4 lost).
e2e_wm_running() { wmctrl -m >/dev/null 2>&1 && xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }

# e2e_setup <test name> <program> <screenshot folder> <source tree>
e2e_setup() {
  E2E_NAME=$1
  if (($# != 4)); then
    printf 'usage: %s <program> <screenshot folder> <source tree>\n' "$0" >&2
    exit 2
  fi
  E2E_BIN=$2 E2E_SHOTS=$3 E2E_SRC=$4
  local tool name
  for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null || { printf 'SKIP: %s is not installed\n' "$tool" && exit 77; }
  done
  for tool in openbox wmctrl xmodmap xdpyinfo xwininfo xprop xwd xwdtopnm pamdepth pnmcut pnmtopng ppmhist ppmmake pnmtojpeg ppmtogif; do
    command -v "$tool" >/dev/null || e2e_fail "$tool is not installed"
  done
  [[ -x "$E2E_BIN" ]] || e2e_fail "program $E2E_BIN not found"

  E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/qlm-e2e.XXXXXX") || e2e_fail "no temporary folder"
  trap e2e_cleanup EXIT
  trap 'exit 143' TERM
  trap 'exit 130' INT
  mkdir -p "$E2E_TMP/bin" "$E2E_TMP/wd" "$E2E_TMP/home" "$E2E_TMP/runtime" "$E2E_SHOTS"
  chmod 700 "$E2E_TMP/runtime"
  rm -f "$E2E_SHOTS/$E2E_NAME"-*.png
  cp "$E2E_BIN" "$E2E_TMP/bin/quillmoor"
  # The repository's own templates when present.
  for name in MainHead.html MainRep.html MainTail.html Pic.html; do
    cp "$E2E_SRC/templates/$name" "$E2E_TMP/wd/$name" 2>/dev/null ||
      printf '<html><head><title><mytitle></title></head><body>%s\n' "$name" >"$E2E_TMP/wd/$name"
  done

  export HOME="$E2E_TMP/home" XDG_RUNTIME_DIR="$E2E_TMP/runtime" XDG_CONFIG_HOME="$E2E_TMP/home/.config"
  export XDG_CACHE_HOME="$E2E_TMP/home/.cache" XDG_DATA_HOME="$E2E_TMP/home/.local/share" QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8
  unset WAYLAND_DISPLAY SESSION_MANAGER QT_STYLE_OVERRIDE

  e2e_start_x
  openbox --sm-disable >"$E2E_TMP/openbox.log" 2>&1 &
  E2E_WM_PID=$!
  e2e_wait_until 10 e2e_wm_running || e2e_fail "openbox did not start"
  e2e_start_watchdog
}

# The settings file the program keeps beside its executable.
e2e_ini() { printf '%s/bin/QLM.ini' "$E2E_TMP"; }

# e2e_make_picture <file> <width> <height> <colour>: JPEG, PNG or GIF by the file's extension.
e2e_make_picture() {
  local file=$1
  case "${file##*.}" in
    jpg) ppmmake "$4" "$2" "$3" | pnmtojpeg >"$file" ;;
    png) ppmmake "$4" "$2" "$3" | pnmtopng >"$file" ;;
    gif) ppmmake "$4" "$2" "$3" | ppmtogif >"$file" 2>/dev/null ;;
  esac
  [[ -s "$file" ]] || e2e_fail "could not make $file"
}

# Gives the German letters keys of their own on keycodes the server leaves free, so that xdotool
# types them like any other key; otherwise it remaps a spare key for each one, and the program
# now and then reads the key after the mapping has been taken back (a letter lost or changed).
e2e_german_keys() {
  xmodmap -e 'keycode 93 = adiaeresis Adiaeresis' -e 'keycode 97 = odiaeresis Odiaeresis' \
    -e 'keycode 103 = udiaeresis Udiaeresis' -e 'keycode 120 = ssharp' || e2e_fail "xmodmap failed"
}

# ----- the program -----

e2e_program_alive() { [[ -n "$E2E_PROG_PID" ]] && kill -0 "$E2E_PROG_PID" 2>/dev/null; }

# e2e_window_named <pattern>: the id of a visible window of the program whose title matches
# (--all: this xdotool otherwise takes windows that meet any one of the conditions).
e2e_window_named() { xdotool search --all --pid "$E2E_PROG_PID" --onlyvisible --name "$1" 2>/dev/null | head -n 1; }
e2e_has_window_named() { [[ -n "$(e2e_window_named "$1")" ]]; }

# Starts the program in the sandbox's working directory without waiting for a window.
e2e_launch() {
  (cd "$E2E_TMP/wd" && exec "$E2E_TMP/bin/quillmoor") >>"$E2E_TMP/program.log" 2>&1 &
  E2E_PROG_PID=$!
  printf '%s\n' "$E2E_PROG_PID" >"$E2E_TMP/program.pid"
  e2e_log "program started (pid $E2E_PROG_PID)"
}

# The window manager has taken the window when it has put its frame extents on it.
e2e_window_ready() {
  e2e_program_alive && E2E_WIN=$(e2e_window_named '^Quillmoor V') && [[ -n "$E2E_WIN" ]] &&
    xprop -id "$E2E_WIN" _NET_FRAME_EXTENTS 2>/dev/null | grep -q '='
}

# Waits for the main window, reads its client area's place and size, then waits for its first
# complete paint.
e2e_find_window() {
  e2e_wait_until 30 e2e_window_ready || e2e_fail "no window titled 'Quillmoor V...' within 30 s"
  local info
  info=$(xwininfo -id "$E2E_WIN")
  E2E_CX=$(sed -n 's/^ *Absolute upper-left X: *//p' <<<"$info")
  E2E_CY=$(sed -n 's/^ *Absolute upper-left Y: *//p' <<<"$info")
  E2E_CW=$(sed -n 's/^ *Width: *//p' <<<"$info")
  E2E_CH=$(sed -n 's/^ *Height: *//p' <<<"$info")
  e2e_wait_settled 0 0 "$E2E_CW" "$E2E_CH" || e2e_fail "the window did not finish painting"
  e2e_log "window $E2E_WIN, client area at $E2E_CX,$E2E_CY size ${E2E_CW}x$E2E_CH"
}

e2e_start_program() {
  e2e_launch
  e2e_find_window
}

# Gives the main window (or the given window) the input focus.
e2e_activate() {
  local win=${1:-$E2E_WIN}
  xdotool windowactivate --sync "$win" >/dev/null 2>&1
  e2e_wait_until 5 eval "[[ \"\$(xdotool getactivewindow 2>/dev/null)\" == $win ]]" ||
    e2e_fail "window $win did not get the focus"
}

# Asks the program to close through the window manager, as the user's Alt+F4 does, and waits for
# it to end; the exit status is left in E2E_EXIT. Xvfb now and then drops the key while the window
# manager is still busy with the focus, so it is pressed once more after a while.
e2e_close_program() {
  e2e_activate
  xdotool key alt+F4
  if ! e2e_wait_until 5 eval '! e2e_program_alive'; then
    e2e_log "Alt+F4 once more"
    e2e_activate
    xdotool key alt+F4
  fi
  e2e_wait_program_end 10
}

e2e_wait_program_end() {
  e2e_wait_until "$1" eval '! e2e_program_alive' || e2e_fail "the program did not end within $1 s"
  wait "$E2E_PROG_PID"
  E2E_EXIT=$?
  rm -f "$E2E_TMP/program.pid"
  E2E_PROG_PID="" E2E_WIN=""
  e2e_log "program ended with status $E2E_EXIT"
}

# e2e_answer_box <title>: answers the box with Return and waits until it has gone.
e2e_answer_box() {
  e2e_activate "$(e2e_window_named "^$1\$")"
  xdotool key Return
  e2e_wait_until 10 eval "! e2e_has_window_named '^$1\$'" || e2e_fail "Return did not close the box '$1'"
}

# ----- input in client coordinates -----

# Moves the pointer to a screen position and waits until it is there. (xdotool's own --sync
# waits for a motion and so stalls when the pointer already is at the spot.)
e2e_move() {
  xdotool mousemove "$1" "$2"
  e2e_wait_until 5 eval "[[ \"\$(xdotool getmouselocation 2>/dev/null)\" == 'x:$1 y:$2 '* ]]" ||
    e2e_fail "the pointer did not reach $1,$2"
}

# Off the window, so that no widget shows a hover look in the screenshots.
e2e_park_mouse() { e2e_move 1 1; }

e2e_click() {
  e2e_move $((E2E_CX + $1)) $((E2E_CY + $2))
  xdotool click 1
}

# The folder list: rows 17 px high, the first one 2 px below the list's top at client (16, 56).
e2e_row_y() { printf '%d' $((56 + 2 + 17 * $1 + 8)); }

# e2e_click_row <row> [x]: a second click on the same spot soon after the first would count as a
# double-click; give another x (more than 5 px away) for that.
e2e_click_row() { e2e_click "${2:-116}" "$(e2e_row_y "$1")"; }

e2e_double_click_row() {
  e2e_move $((E2E_CX + 116)) $((E2E_CY + $(e2e_row_y "$1")))
  xdotool click --repeat 2 --delay 60 1
}

# ----- what the screen shows -----

e2e_grab_root() { xwd -root -silent | xwdtopnm 2>/dev/null | pamdepth 255 >"$1"; }

# e2e_grab <x> <y> <w> <h> <out.ppm>: a region of the client area, in client coordinates;
# e2e_grab_abs the same in screen coordinates.
e2e_grab_abs() {
  e2e_grab_root "$E2E_TMP/root.ppm" &&
    pnmcut -left "$1" -top "$2" -width "$3" -height "$4" "$E2E_TMP/root.ppm" >"$5" 2>/dev/null
}
e2e_grab() { e2e_grab_abs $((E2E_CX + $1)) $((E2E_CY + $2)) "$3" "$4" "$5"; }

# Number of distinct colours in a PPM file: 1 for an empty, uniform region.
e2e_colours() { ppmhist -noheader "$1" 2>/dev/null | wc -l; }

# e2e_region_equals <x> <y> <w> <h> <reference.ppm>
e2e_region_equals() { e2e_grab "$1" "$2" "$3" "$4" "$E2E_TMP/probe.ppm" && cmp -s "$E2E_TMP/probe.ppm" "$5"; }
e2e_region_differs() { e2e_grab "$1" "$2" "$3" "$4" "$E2E_TMP/probe.ppm" && ! cmp -s "$E2E_TMP/probe.ppm" "$5"; }

# e2e_stable <grab command...>: true when the grabbed picture has content and did not change since
# the previous call.
e2e_stable() {
  "$@" "$E2E_TMP/settle.ppm" || return 1
  if cmp -s "$E2E_TMP/settle.ppm" "$E2E_TMP/settle.prev" && (($(e2e_colours "$E2E_TMP/settle.ppm") > 1)); then
    return 0
  fi
  mv "$E2E_TMP/settle.ppm" "$E2E_TMP/settle.prev"
  sleep 0.1
  return 1
}

# Waits until a region of the client area shows the same picture, not of one colour, twice 100 ms
# apart.
e2e_wait_settled() {
  rm -f "$E2E_TMP/settle.prev"
  e2e_wait_until 10 e2e_stable e2e_grab_abs $((E2E_CX + $1)) $((E2E_CY + $2)) "$3" "$4"
}

# Waits until the region differs from the reference and then stops changing.
e2e_wait_region_change() {
  e2e_wait_until 10 e2e_region_differs "$@" && e2e_wait_settled "$1" "$2" "$3" "$4"
}

e2e_wait_region_equal() { e2e_wait_until 10 e2e_region_equals "$@"; }

# e2e_shot <step>: a picture of the main window with its frame.
e2e_shot() {
  local left=0 right=0 top=0 bottom=0
  IFS=', ' read -r left right top bottom <<<"$(xprop -id "$E2E_WIN" _NET_FRAME_EXTENTS | sed -n 's/.*= *//p')"
  e2e_grab_abs $((E2E_CX - left)) $((E2E_CY - top)) $((E2E_CW + left + right)) $((E2E_CH + top + bottom)) \
    "$E2E_TMP/shot.ppm" || e2e_fail "no screenshot"
  pnmtopng <"$E2E_TMP/shot.ppm" >"$E2E_SHOTS/$E2E_NAME-$1.png" 2>/dev/null
  e2e_log "screenshot $E2E_NAME-$1.png"
}

# e2e_shot_root <step>: the whole screen.
e2e_shot_root() {
  e2e_grab_root "$E2E_TMP/shot.ppm" && pnmtopng <"$E2E_TMP/shot.ppm" >"$E2E_SHOTS/$E2E_NAME-$1.png" 2>/dev/null
  e2e_log "screenshot $E2E_NAME-$1.png"
}

# The picture of one window read from the window itself. Message boxes need this: on Xvfb the
# screen copy of a dialog that has a parent stays black until it is moved, although the dialog has
# drawn itself (a plain Qt program shows the same).
e2e_grab_window() { xwd -id "$1" -silent 2>/dev/null | xwdtopnm 2>/dev/null | pamdepth 255 >"$2"; }

# e2e_shot_box <step> <title>: waits until the box has drawn itself and keeps its picture.
e2e_shot_box() {
  rm -f "$E2E_TMP/settle.prev"
  e2e_wait_until 10 e2e_stable e2e_grab_window "$(e2e_window_named "^$2\$")" ||
    e2e_fail "the box '$2' did not draw itself"
  pnmtopng <"$E2E_TMP/settle.ppm" >"$E2E_SHOTS/$E2E_NAME-$1.png" 2>/dev/null
  e2e_log "screenshot $E2E_NAME-$1.png"
}

# ----- the settings file -----

# e2e_ini_value <key>: the value of the key in section [Settings] (names without regard to case);
# fails when the file, the section or the key is missing.
e2e_ini_value() {
  awk -v want="${1,,}" -F= '{ sub(/\r$/, "") }
    /^\[.*\]$/ { section = tolower(substr($0, 2, length($0) - 2)); next }
    section == "settings" && tolower($1) == want { print substr($0, length($1) + 2); found = 1; exit }
    END { exit !found }' "$(e2e_ini)" 2>/dev/null
}

# e2e_expect_settings <Dir> <Keywords> <Description> <Alt> <Warn> <ImgWoAlt> <ThumbsJPG>: the seven
# keys the program writes on close.
e2e_expect_settings() {
  local key got want
  for key in Dir Keywords Description Alt Warn ImgWoAlt ThumbsJPG; do
    want=$1
    shift
    got=$(e2e_ini_value "$key") || e2e_fail "QLM.ini has no key $key in [Settings]"
    [[ "$got" == "$want" ]] || e2e_fail "QLM.ini: $key='$got', expected '$want'"
  done
  e2e_log "ok: QLM.ini holds the folder and the six boxes"
}
