#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The help compiler makes the same QLM.chm byte for byte from the same pages when SOURCE_DATE_EPOCH
# is set, however far apart the two runs are.
# Arguments: <qlmchmc> <staged manual folder>
set -u -o pipefail
compiler=$1 stage=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/qlm-chm.XXXXXX")
trap 'rm -rf "$work"' EXIT
cp -r "$stage" "$work/stage"
cd "$work/stage" || exit 1
SOURCE_DATE_EPOCH=1765000000 "$compiler" QLM.hhp "$work/first.chm" || { echo "FAIL: first run"; exit 1; }
sleep 1.2
SOURCE_DATE_EPOCH=1765000000 "$compiler" QLM.hhp "$work/second.chm" || { echo "FAIL: second run"; exit 1; }
if ! cmp "$work/first.chm" "$work/second.chm"; then
  echo "FAIL: two runs with the same SOURCE_DATE_EPOCH differ"
  exit 1
fi
# Another time gives another stamp, so the variable is what made them equal.
SOURCE_DATE_EPOCH=1765003600 "$compiler" QLM.hhp "$work/third.chm" || { echo "FAIL: third run"; exit 1; }
if cmp -s "$work/first.chm" "$work/third.chm"; then
  echo "FAIL: another SOURCE_DATE_EPOCH gives the same file"
  exit 1
fi
echo "passed"
