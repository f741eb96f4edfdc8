#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The window program's command line without a display: --help and --version answer on standard
# output with status 0, an unknown argument is refused with status 64, and a start without them
# ends with one line and status 1 instead of the abort of the platform layer.
# Arguments: <quillmoor>
set -u -o pipefail
program=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/qlm-cmdline.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() { printf 'FAIL: %s\n' "$*" >&2; failures=$((failures + 1)); }

# run NAME ENV-ASSIGNMENT... -- ARGUMENT...: the program with no display at all, plus the given
# variables; the status goes to $work/NAME.status.
run() {
  local name=$1
  shift
  local vars=()
  while [[ $1 != -- ]]; do vars+=("$1"); shift; done
  shift
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "${vars[@]}" "$program" "$@" \
    >"$work/$name.out" 2>"$work/$name.err" </dev/null
  echo $? >"$work/$name.status"
}
status() { cat "$work/$1.status"; }
lines() { wc -l <"$work/$1"; }

for option in --help -h; do
  run "help$option" -- "$option"
  [[ $(status "help$option") -eq 0 ]] || fail "$option: status $(status "help$option"), not 0"
  grep -q '^Usage: quillmoor ' "$work/help$option.out" || fail "$option: no usage on standard output"
  grep -q -e '--version' "$work/help$option.out" || fail "$option: the usage lacks --version"
  [[ ! -s "$work/help$option.err" ]] || fail "$option wrote to standard error: $(cat "$work/help$option.err")"
done

grep -q 'web copies' "$work/help--help.out" || fail "--help does not mention the web copies"

# What neither the window nor Qt takes ends with status 64 and names the argument, before the
# display is even looked for; what Qt or the help's trace takes reaches the display check.
refused=(--bogus -x --help-me folder -style --)
for index in "${!refused[@]}"; do
  name=refused-$index
  if [[ ${refused[index]} == -- ]]; then run "$name" -- -- picture.jpg; else run "$name" -- "${refused[index]}"; fi
  [[ $(status "$name") -eq 64 ]] || fail "${refused[index]}: status $(status "$name"), not 64"
  grep -q '^quillmoor: ' "$work/$name.err" || fail "${refused[index]}: no message: $(cat "$work/$name.err")"
  grep -q -e "--help" "$work/$name.err" || fail "${refused[index]}: the message does not point to --help"
  [[ ! -s "$work/$name.out" ]] || fail "${refused[index]} wrote to standard output"
done
grep -q -e '--bogus' "$work/refused-0.err" || fail "--bogus is not named: $(cat "$work/refused-0.err")"
for arguments in "-debug" "/DEBUG" "-style Fusion" "--platform xcb" "-reverse"; do
  name="taken-${arguments//[ \/]/_}"
  # shellcheck disable=SC2086 # the option and its value are two arguments
  run "$name" -- $arguments
  [[ $(status "$name") -eq 1 ]] || fail "$arguments: status $(status "$name"), not the display's 1"
done

run version -- --version
[[ $(status version) -eq 0 ]] || fail "--version: status $(status version), not 0"
grep -q -x -E 'quillmoor [0-9]+(\.[0-9]+)+' "$work/version.out" || fail "--version printed: $(cat "$work/version.out")"

# Without a display, whether Qt would pick its platform itself or was told to use X11.
for platform in "" xcb; do
  name=plain-$platform
  if [[ -n $platform ]]; then run "$name" QT_QPA_PLATFORM=$platform --; else run "$name" --; fi
  [[ $(status "$name") -eq 1 ]] || fail "no display ($platform): status $(status "$name"), not 1"
  [[ $(lines "$name.err") -eq 1 ]] || fail "no display ($platform): not one line: $(cat "$work/$name.err")"
  grep -q 'no display' "$work/$name.err" || fail "no display ($platform): $(cat "$work/$name.err")"
  [[ ! -s "$work/$name.out" ]] || fail "no display ($platform) wrote to standard output"
done

echo "$failures failures"
[[ $failures -eq 0 ]]
