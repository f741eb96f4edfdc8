#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Takes the screenshot of the window that the AppStream metadata shows (dist/screenshot.png): the
# built program in a private X server, listing a copy of the demo pictures with one of them
# selected and previewed.
#   bash scripts/make_screenshot.sh [BUILD_DIR]        (default build/)
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
shots=$(mktemp -d "${TMPDIR:-/tmp}/qlm-shot.XXXXXX")
source "$root/tests/e2e/lib.sh"
e2e_setup screenshot "$build/app/quillmoor" "$shots" "$root"

gallery=$HOME/Bilder/Urlaub
mkdir -p "$gallery"
cp "$root"/demo/* "$gallery/"
printf '[Settings]\r\nDir=%s/\r\n' "$gallery" >"$(e2e_ini)"

e2e_start_program
e2e_grab 424 32 273 273 "$E2E_TMP/preview_empty.ppm"
# The list holds "..", then the pictures; the second picture is a landscape one.
e2e_click_row 2
e2e_park_mouse
e2e_wait_region_change 424 32 273 273 "$E2E_TMP/preview_empty.ppm" || e2e_fail "no picture in the preview"
e2e_shot window
cp "$shots/screenshot-window.png" "$root/dist/screenshot.png"
rm -rf "$shots"
e2e_close_program
e2e_log "wrote dist/screenshot.png"
