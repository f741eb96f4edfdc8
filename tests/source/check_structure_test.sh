#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The structure check finds what it is there for in a small made-up tree: an include from a higher
# layer, Qt outside the window layers, two units including each other, a function of 61 lines and
# a file of 401; and passes a tree without them (a function of 60 lines, a default argument in
# braces, a constructor's brace initialisers).
# Arguments: <check_structure.py>
set -u -o pipefail
check=$1
tree=$(mktemp -d "${TMPDIR:-/tmp}/qlm-structure.XXXXXX")
trap 'rm -rf "$tree"' EXIT
failures=0
expect() { # expect <exit status> <text the output must hold> <check...>
  local status=$1 text=$2 output
  shift 2
  output=$(python3 "$check" "$tree" "$@")
  if [[ $? -ne $status ]] || ! grep -q -F -- "$text" <<<"$output"; then
    printf 'FAIL: %s: wanted status %s and "%s", got:\n%s\n' "$*" "$status" "$text" "$output"
    failures=$((failures + 1))
  fi
}
body() { local i; for ((i = 0; i < $1; i++)); do echo "    ++n;"; done; }

mkdir -p "$tree"/{platform,core,help,ui,app,cli}
{ echo '#include "core/clean.h"'; echo 'namespace qlm {'
  echo 'int Short(int n, const std::string& s = {}) {'; body 58; echo '}'
  echo 'Box::Box() : a_{1}, b_{2} {'; body 58; echo '}'; echo '}'; } >"$tree/core/clean.cpp"
touch "$tree/core/clean.h"
expect 0 "0 finding(s)" layers circles sizes

echo '#include "ui/window.h"' >"$tree/core/low.cpp"
touch "$tree/ui/window.h"
echo '#include <QString>' >"$tree/cli/qt.cpp"
expect 1 "core/low.cpp: includes ui/window.h, a header of a higher layer" layers
expect 1 "cli/qt.cpp: includes <QString>" layers

echo '#include "core/b.h"' >"$tree/core/a.h"
echo '#include "b.h"' >"$tree/core/b.cpp"
touch "$tree/core/b.h"
expect 0 "0 finding(s)" circles
echo '#include "core/a.h"' >"$tree/core/b.h"
expect 1 "units include each other: core/a, core/b" circles

{ echo 'void Long() {'; body 59; echo '}'; } >"$tree/app/long.cpp"
expect 1 "app/long.cpp:1: Long is 61 lines long" sizes
body 401 >"$tree/help/big.cpp"
expect 1 "help/big.cpp: 401 lines" sizes

((failures == 0)) && echo "structure check: all cases as expected"
exit $((failures > 0))
