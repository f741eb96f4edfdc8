#!/bin/bash
# Failures the user sees: the preview of the focused entry, a damaged picture's error box that
# leaves the previous picture on view, and a missing template that ends the program without
# touching "QLM.ini".
# Arguments: <program> <screenshot folder> <source tree>

source "$(dirname "$0")/lib.sh"
e2e_setup failures "$@"

PREVIEW=(424 32 273 273)

# "..", "bad.jpg", "good.png": a 200x100 picture is shown one to one, centred in the box.
pics=$(realpath "$E2E_TMP")/pics
mkdir "$pics"
e2e_make_picture "$pics/good.png" 200 100 rgb:00/80/00
printf 'no picture in here, just text\n' >"$pics/bad.jpg"
printf '[Settings]\nDir=%s/\n' "$pics" >"$(e2e_ini)"

# colour_of <ppm>: "r g b" of a one-coloured picture, nothing otherwise.
colour_of() {
  local hist
  hist=$(ppmhist -noheader "$1" 2>/dev/null)
  local r g b rest
  [[ $(wc -l <<<"$hist") -eq 1 ]] || return 0
  read -r r g b rest <<<"$hist"
  printf '%s %s %s' "$r" "$g" "$b"
}

e2e_start_program
e2e_park_mouse
e2e_grab "${PREVIEW[@]}" "$E2E_TMP/preview_empty.ppm"

e2e_activate
e2e_click_row 2
e2e_park_mouse
e2e_wait_region_change "${PREVIEW[@]}" "$E2E_TMP/preview_empty.ppm" || e2e_fail "focusing good.png showed nothing"
e2e_grab "${PREVIEW[@]}" "$E2E_TMP/preview_good.ppm"
e2e_shot 1-preview
# 424 + (273 - 200) / 2 = 460, 32 + (273 - 100) / 2 = 118 (halves drop the remainder).
e2e_grab 460 118 200 100 "$E2E_TMP/picture.ppm"
e2e_check "the picture fills 460,118 200x100 in its own colour" test "$(colour_of "$E2E_TMP/picture.ppm")" = "0 128 0"
for edge in "459 118 1 100" "660 118 1 100" "460 117 200 1" "460 218 200 1"; do
  # shellcheck disable=SC2086
  e2e_grab $edge "$E2E_TMP/edge.ppm"
  [[ "$(colour_of "$E2E_TMP/edge.ppm")" != "0 128 0" ]] || e2e_fail "the picture reaches beyond 460,118 200x100 at $edge"
done
e2e_log "ok: the picture is shown one to one and centred"

# The damaged picture: the error box titled "QLM 2"; the good picture stays on view.
e2e_click_row 1
e2e_wait_until 10 e2e_has_window_named '^QLM 2$' || e2e_fail "no 'QLM 2' box for the damaged picture"
e2e_log "ok: 'QLM 2' box shown"
e2e_park_mouse
e2e_shot_box 2-damaged "$(e2e_window_named "^QLM 2\$")"
e2e_activate "$(e2e_window_named '^QLM 2$')"
e2e_key Return
e2e_wait_until 10 eval '! e2e_has_window_named "^QLM 2\$"' || e2e_fail "Return did not close the error box"
e2e_check "the program survives the damaged picture" e2e_program_alive
e2e_wait_region_equal "${PREVIEW[@]}" "$E2E_TMP/preview_good.ppm" || e2e_fail "the preview no longer shows good.png"
e2e_log "ok: the preview still shows good.png"
e2e_shot 3-after-error
# Focus on the parent entry hides the preview.
e2e_click_row 0
e2e_park_mouse
e2e_wait_region_equal "${PREVIEW[@]}" "$E2E_TMP/preview_empty.ppm" || e2e_fail "focus on '..' did not hide the preview"
e2e_log "ok: focus on '..' hides the preview"
e2e_close_program
e2e_check "the program ended normally" test "$E2E_EXIT" -eq 0

# ---- a required template is missing: "Fehler", then the program ends and writes nothing ----
rm "$E2E_TMP/work/Pic.html"
printf '[Settings]\nDir=%s/\nThumbsJPG=true\n' "$pics" >"$(e2e_ini)"
cp "$(e2e_ini)" "$E2E_TMP/ini_before"
e2e_launch
e2e_wait_until 20 e2e_has_window_named '^Fehler$' || e2e_fail "no 'Fehler' box for the missing template"
e2e_log "ok: 'Fehler' box shown"
e2e_shot_box 4-missing-template "$(e2e_window_named "^Fehler\$")"
e2e_activate "$(e2e_window_named '^Fehler$')"
e2e_key Return
e2e_wait_program_end 15
cmp -s "$(e2e_ini)" "$E2E_TMP/ini_before" || e2e_fail "QLM.ini was changed by the run that lacked a template"
e2e_log "ok: QLM.ini untouched"
e2e_log "passed"
