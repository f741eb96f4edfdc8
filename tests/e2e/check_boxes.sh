#!/bin/bash
# The six option boxes: their states at first start, a click changes one, closing writes all six
# to "QLM.ini", the next start shows them again; hand-written values are read leniently and
# written back as "true" or "false".
# Arguments: <program> <screenshot folder> <source tree>

source "$(dirname "$0")/lib.sh"
e2e_setup check_boxes "$@"

# Left and top of each box; its check mark sits in the first pixels of the box.
declare -A BOX=(
  [Keywords]="128 312" [Description]="128 336" [Alt]="128 360" [Warn]="128 384"
  [ImgWoAlt]="288 312" [ThumbsJPG]="288 336"
)
KEYS=(Keywords Description Alt Warn ImgWoAlt ThumbsJPG)
MARK_W=14
MARK_H=17

# Grabs the check mark area of every box into $E2E_TMP/<run>-<key>.ppm.
grab_marks() {
  local run=$1 key x y
  e2e_park_mouse
  for key in "${KEYS[@]}"; do
    read -r x y <<<"${BOX[$key]}"
    e2e_grab "$x" "$y" "$MARK_W" "$MARK_H" "$E2E_TMP/$run-$key.ppm" || e2e_fail "no picture of box $key"
  done
}

# The look of a checked and of an unchecked box, both taken at the first start.
CHECKED="$E2E_TMP/checked.ppm"
UNCHECKED="$E2E_TMP/unchecked.ppm"

# expect_marks <run> <state of the six boxes in KEYS order: 1 checked, 0 unchecked>
expect_marks() {
  local run=$1 i=0 key want looks
  shift
  local states=("$@")
  for key in "${KEYS[@]}"; do
    if [[ "${states[i]}" == 1 ]]; then
      want=$CHECKED looks=checked
    else
      want=$UNCHECKED looks=unchecked
    fi
    cmp -s "$E2E_TMP/$run-$key.ppm" "$want" || e2e_fail "box $key does not look $looks in run '$run'"
    i=$((i + 1))
  done
  e2e_log "ok: boxes in run '$run' look $*"
}

box_click() {
  local x y
  read -r x y <<<"${BOX[$1]}"
  e2e_click $((x + 8)) $((y + 8))
}

# ---- first start: five boxes checked, "all thumbs JPG" not ----
e2e_start_program
grab_marks first
cmp -s "$E2E_TMP/first-Keywords.ppm" "$E2E_TMP/first-ThumbsJPG.ppm" &&
  e2e_fail "'ask Keywords' and 'all thumbs JPG' look the same at first start"
cp "$E2E_TMP/first-Keywords.ppm" "$CHECKED"
cp "$E2E_TMP/first-ThumbsJPG.ppm" "$UNCHECKED"
expect_marks first 1 1 1 1 1 0
e2e_shot 1-first-start

# Check "all thumbs JPG" and uncheck "ask Keywords".
e2e_activate
box_click ThumbsJPG
box_click Keywords
# Move the keyboard focus away from the boxes, so that no focus frame is drawn on them.
e2e_click_row 12
e2e_park_mouse
read -r x y <<<"${BOX[ThumbsJPG]}"
e2e_wait_region_equal "$x" "$y" "$MARK_W" "$MARK_H" "$CHECKED" || e2e_fail "the click did not check 'all thumbs JPG'"
grab_marks clicked
expect_marks clicked 0 1 1 1 1 1
e2e_shot 2-clicked
e2e_close_program
e2e_expect_settings "" false true true true true true

# ---- second start: the boxes come back as they were left ----
e2e_start_program
grab_marks restored
expect_marks restored 0 1 1 1 1 1
e2e_shot 3-restored
e2e_close_program
e2e_expect_settings "" false true true true true true

# ---- values written by hand: only "true" and "yes" in any case count as checked ----
printf '[Other]\r\nKeep=this\r\n[settings]\r\nKeywords=yes\r\nDescription=TRUE\r\nAlt=1\r\nWarn=\r\nImgWoAlt=ja\r\nThumbsJPG=Yes\r\n' >"$(e2e_ini)"
e2e_start_program
grab_marks hand
expect_marks hand 1 1 0 0 0 1
e2e_shot 4-hand-written
e2e_close_program
e2e_expect_settings "" true true false false false true
grep -q '^Keep=this' "$(e2e_ini)" || e2e_fail "closing lost the key of another section"
e2e_log "ok: the other section is kept"
e2e_log "passed"
