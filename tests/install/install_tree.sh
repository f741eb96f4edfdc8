#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a private DESTDIR and checks what a packager and a user get: the files
# and their places, the desktop entry, the AppStream metadata, the manual pages, the icons, and
# quillmoor-make of the installed tree making a gallery with the installed sample templates.
# Arguments: <build folder> <source tree> <prefix> <bindir> <datadir> <mandir> <app id>
set -u -o pipefail

build=$1 src=$2 prefix=$3 bindir=$4 datadir=$5 mandir=$6 app_id=$7
for tool in desktop-file-validate appstreamcli man file; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

tmp=$(mktemp -d "${TMPDIR:-/tmp}/qlm-install.XXXXXX") || exit 1
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { printf 'FAIL: %s\n' "$*" >&2; failures=$((failures + 1)); }
ok() { printf 'ok: %s\n' "$*"; }
check() {
  local what=$1
  shift
  if "$@"; then ok "$what"; else fail "$what"; fi
}

root=$tmp/root
DESTDIR=$root cmake --install "$build" >"$tmp/install.log" 2>&1 || { cat "$tmp/install.log"; fail "cmake --install"; exit 1; }
ok "cmake --install into DESTDIR"
under() { printf '%s%s/%s' "$root" "$prefix" "$1"; }

# ---- the tree ----
check "every file lies under the prefix" test -z "$(find "$root" \( -type f -o -type l \) ! -path "$root$prefix/*")"
for program in quillmoor quillmoor-make; do
  check "$bindir/$program is an executable" test -x "$(under "$bindir/$program")" -a -f "$(under "$bindir/$program")"
done
templates=$(under "$datadir/quillmoor/templates")
for name in MainHead.html MainRep.html MainTail.html Pic.html InfoHead.html InfoTail.html; do
  check "sample template $name installed unchanged" cmp -s "$src/templates/$name" "$templates/$name"
done
for page in quillmoor quillmoor-make; do
  check "manual page $page.1, compressed" eval "gzip -t '$(under "$mandir/man1/$page.1.gz")'"
done
for size in 16 32 48 64 128 256; do
  icon=$(under "$datadir/icons/hicolor/${size}x$size/apps/$app_id.png")
  check "icon of ${size}x$size pixels" eval "file -b '$icon' | grep -q 'PNG image data, $size x $size,'"
done

# ---- desktop entry ----
desktop=$(under "$datadir/applications/$app_id.desktop")
check "desktop-file-validate passes" desktop-file-validate "$desktop"
entry() { sed -n "s/^$1=//p" "$desktop" | head -n 1; }
check "Exec names the installed window program" test "$(entry Exec)" = "$prefix/$bindir/quillmoor"
check "no Path: the window starts in the user's home" test -z "$(entry Path)"
check "Icon is the installed icon's name" test "$(entry Icon)" = "$app_id"
check "Categories" test "$(entry Categories)" = "Graphics;Photography;"
check "German name and comment" eval "grep -q '^Comment\[de\]=.' '$desktop' && grep -q '^GenericName\[de\]=.' '$desktop'"

# ---- AppStream metadata ----
metainfo=$(under "$datadir/metainfo/$app_id.metainfo.xml")
# The project has no homepage; newer appstream versions warn about that (url-homepage-missing), and
# that one complaint is accepted, no other.
appstream_ok() {
  appstreamcli validate --no-net --no-color "$metainfo" >"$tmp/appstream.txt" 2>&1 && return 0
  cat "$tmp/appstream.txt" >&2
  ! grep -E '^[EW]: ' "$tmp/appstream.txt" | grep -v -q -E '^W: [^ ]+: url-homepage-missing( |$)' &&
    grep -q -E '^W: [^ ]+: url-homepage-missing' "$tmp/appstream.txt"
}
check "appstreamcli validate --no-net passes (bar url-homepage-missing)" appstream_ok
check "the metadata launches the desktop entry" grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo"
check "German and English description" eval "grep -q '<p>' '$metainfo' && grep -q '<p xml:lang=\"de\">' '$metainfo'"
# A screenshot only where the build was told where it is published; none at all otherwise.
screenshot_url=$(sed -n 's/^QLM_SCREENSHOT_URL:[A-Z]*=//p' "$build/CMakeCache.txt")
if [[ -n $screenshot_url ]]; then
  check "a screenshot of the window" grep -q "<image type=\"source\" width=\"[1-9][0-9]*\" height=\"[1-9][0-9]*\">$screenshot_url</image>" "$metainfo"
else
  check "no screenshot without a published one" eval "! grep -q '<screenshot' '$metainfo'"
fi

# ---- manual pages ----
check "manual page quillmoor-templates.5, compressed" eval "gzip -t '$(under "$mandir/man5/quillmoor-templates.5.gz")'"
for page in quillmoor.1 quillmoor-make.1 quillmoor-templates.5; do
  LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$(under "$mandir/man${page##*.}/$page.gz")" >"$tmp/$page.txt" 2>"$tmp/$page.err"
  man_status=$?
  check "man -l renders $page without warnings" eval "test $man_status -eq 0 -a ! -s '$tmp/$page.err' && grep -q '^NAME' '$tmp/$page.txt'"
  [[ -s "$tmp/$page.err" ]] && cat "$tmp/$page.err" >&2
  check "$page names the installed templates folder" grep -q -F "$prefix/$datadir/quillmoor/templates" "$tmp/$page.txt"
done

# ---- what Debian wants in the documentation folder ----
doc=$(under "$datadir/doc/quillmoor")
check "machine-readable copyright file" grep -q -x 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$doc/copyright"
check "changelog.gz in Debian's format" eval "gzip -cd '$doc/changelog.gz' | head -n 1 | grep -q '^quillmoor ('"

# ---- the installed quillmoor-make finds its own sample templates ----
cp -r "$src/demo" "$tmp/gallery"
mkdir "$tmp/wd"
(cd "$tmp/wd" && HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/home/.config" \
  "$(under "$bindir/quillmoor-make")" --no-ask --verbose "$tmp/gallery") >"$tmp/make.out" 2>"$tmp/make.err"
status=$?
check "the installed quillmoor-make ends with 0 (got $status)" test "$status" -eq 0
check "it says it used the installed templates" grep -q -x -F "quillmoor-make: templates from $templates/" "$tmp/make.err"
check "index.html made from the sample templates" \
  eval "grep -q '<!DOCTYPE html>' '$tmp/gallery/index.html' && ! grep -q '<my' '$tmp/gallery/index.html'"
[[ $failures -eq 0 ]] || { echo "--- quillmoor-make said:"; cat "$tmp/make.err"; }

echo "$failures failures"
[[ $failures -eq 0 ]]
