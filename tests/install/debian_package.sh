#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package as a user gets it: cpack builds it in the given build folder (configured
# with the prefix /usr), lintian finds neither an error nor a warning in it, apt-get installs it,
# quillmoor-make from /usr/bin makes a gallery with the installed sample templates, quillmoor
# answers --help and --version without a display, the window started as its desktop entry says
# (its Exec in the user's home) shows its main window with the sample templates and keeps its
# settings in the user's configuration folder, and apt-get removes the package again. Needs root; skips otherwise, and when a quillmoor package is
# installed already, which it leaves alone.
# Arguments: <build folder> <source tree> <screenshot folder>

build=$(cd "$1" && pwd) src=$2 shots=$3
if [[ $(id -u) -ne 0 ]]; then
  echo "SKIP: installing the package needs root"
  exit 77
fi
if [[ "$(dpkg-query -W -f='${db:Status-Status}' quillmoor 2>/dev/null)" == installed ]]; then
  echo "SKIP: a quillmoor package is installed on this machine already; it is left alone"
  exit 77
fi
app_id=$(sed -n 's/^QLM_APP_ID:STRING=//p' "$build/CMakeCache.txt")
prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")

source "$src/tests/e2e/lib.sh"
e2e_setup debian_package "$build/app/quillmoor" "$shots" "$src"
e2e_check "the build installs under /usr (got '$prefix')" test "$prefix" = /usr

installed_by_us=""
remove_package() {
  [[ -n "$installed_by_us" ]] || return 0
  DEBIAN_FRONTEND=noninteractive apt-get remove --purge -y quillmoor >"$E2E_TMP/remove.log" 2>&1
  installed_by_us=""
}
trap 'remove_package; e2e_cleanup' EXIT

# ---- building the package ----
rm -f "$build"/quillmoor_*.deb
(cd "$build" && cpack -G DEB) >"$E2E_TMP/cpack.log" 2>&1 || { cat "$E2E_TMP/cpack.log"; e2e_fail "cpack -G DEB"; }
debs=("$build"/quillmoor_*.deb)
e2e_check "cpack made one package (${debs[*]})" test ${#debs[@]} -eq 1 -a -f "${debs[0]}"
deb=${debs[0]}
depends=$(dpkg-deb -f "$deb" Depends)
e2e_log "Depends: $depends"
# A library may carry the "t64" suffix of Debian 13's 64-bit time_t transition.
for package in libc6 libqt6widgets6 libqt6gui6 libjpeg62-turbo libpng16-16 libgif7 liblcms2-2 qt6-qpa-plugins; do
  e2e_check "the package depends on $package" grep -q -E "(^|, )$package(t64)?( |,|\$)" <<<"$depends"
done
description=$(dpkg-deb -f "$deb" Description)
e2e_check "the description has no list separators" eval '! grep -q ";" <<<"$description"'
e2e_check "the description's lines are under 80 characters" eval '! grep -q -E "^.{80,}" <<<"$description"'

# ---- lintian: no error, no warning ----
if command -v lintian >/dev/null; then
  lintian --tag-display-limit 0 "$deb" >"$E2E_TMP/lintian.log" 2>&1
  cat "$E2E_TMP/lintian.log"
  grep -E "^[EW]: " "$E2E_TMP/lintian.log" >"$E2E_TMP/complaints"
  # The project has no homepage. appstream 1.0 (Debian 13) warns about that (url-homepage-missing)
  # and lintian passes it on as appstream-metadata-validation-failed: accepted when that warning
  # is all appstreamcli has to say about the package's metadata.
  if grep -q ": appstream-metadata-validation-failed" "$E2E_TMP/complaints"; then
    dpkg-deb -x "$deb" "$E2E_TMP/unpacked"
    appstreamcli validate --no-net --no-color "$E2E_TMP/unpacked/usr/share/metainfo/$app_id.metainfo.xml" \
      >"$E2E_TMP/appstream.txt" 2>&1
    cat "$E2E_TMP/appstream.txt"
    if ! grep -E '^[EW]: ' "$E2E_TMP/appstream.txt" | grep -v -q -E '^W: [^ ]+: url-homepage-missing( |$)'; then
      sed -i '/: appstream-metadata-validation-failed /d' "$E2E_TMP/complaints"
    fi
  fi
  e2e_check "lintian finds no error or warning (bar the missing homepage)" test ! -s "$E2E_TMP/complaints"
else
  e2e_fail "lintian is not installed"
fi

# ---- installing it ----
DEBIAN_FRONTEND=noninteractive apt-get install -y "$deb" >"$E2E_TMP/install.log" 2>&1 ||
  { cat "$E2E_TMP/install.log"; e2e_fail "apt-get install $deb"; }
installed_by_us=yes
e2e_check "dpkg knows the package as installed" test "$(dpkg-query -W -f='${db:Status-Status}' quillmoor)" = installed
desktop=/usr/share/applications/$app_id.desktop
for file in /usr/bin/quillmoor /usr/bin/quillmoor-make "$desktop" /usr/share/metainfo/$app_id.metainfo.xml \
  /usr/share/icons/hicolor/256x256/apps/$app_id.png /usr/share/man/man1/quillmoor.1.gz \
  /usr/share/man/man1/quillmoor-make.1.gz /usr/share/man/man5/quillmoor-templates.5.gz \
  /usr/share/quillmoor/templates/Pic.html /usr/share/doc/quillmoor/copyright \
  /usr/share/doc/quillmoor/changelog.gz; do
  e2e_check "installed: $file" test -s "$file"
done

# ---- quillmoor-make from /usr/bin, started in a folder without templates ----
cp -r "$src/demo" "$E2E_TMP/gallery"
(cd "$E2E_TMP/wd" && rm -f ./*.html && /usr/bin/quillmoor-make --no-ask --verbose "$E2E_TMP/gallery") \
  >"$E2E_TMP/make.out" 2>"$E2E_TMP/make.err"
status=$?
cat "$E2E_TMP/make.err"
e2e_check "quillmoor-make ends with 0 (got $status)" test "$status" -eq 0
e2e_check "it used the installed templates" grep -q -x -F "quillmoor-make: templates from /usr/share/quillmoor/templates/" "$E2E_TMP/make.err"
e2e_check "it reads the settings from the configuration folder" \
  grep -q -x -F "quillmoor-make: settings from $XDG_CONFIG_HOME/quillmoor/QLM.ini" "$E2E_TMP/make.err"
e2e_check "index.html made" grep -q '<!DOCTYPE html>' "$E2E_TMP/gallery/index.html"

# ---- the window program's command line, without a display ----
for option in --help --version; do
  env -u DISPLAY /usr/bin/quillmoor $option >"$E2E_TMP/option.out" 2>"$E2E_TMP/option.err"
  status=$?
  e2e_check "quillmoor $option without a display ends with 0 (got $status)" test "$status" -eq 0
  e2e_check "quillmoor $option prints on standard output" test -s "$E2E_TMP/option.out" -a ! -s "$E2E_TMP/option.err"
done

# ---- the window, started as the desktop entry says: in the user's home ----
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
e2e_check "the entry names no working folder" eval '! grep -q "^Path=" "$desktop"'
(cd "$HOME" && exec $exec_line) >>"$E2E_TMP/program.log" 2>&1 &
E2E_PROG_PID=$!
printf '%s\n' "$E2E_PROG_PID" >"$E2E_TMP/program.pid"
e2e_find_window
e2e_check "no template error" eval '! e2e_has_window_named "^Fehler\$"'
e2e_park_mouse
e2e_shot main-window
e2e_close_program
e2e_check "the window ended normally" test "$E2E_EXIT" -eq 0
e2e_check "its settings are in the configuration folder" grep -q '^ThumbsJPG=false' "$XDG_CONFIG_HOME/quillmoor/QLM.ini"
e2e_check "nothing was written beside the program" test ! -e /usr/bin/QLM.ini

# ---- removing it ----
remove_package
e2e_check "apt-get removed the package" test "$(dpkg-query -W -f='${db:Status-Status}' quillmoor 2>/dev/null)" != installed
for file in /usr/bin/quillmoor /usr/bin/quillmoor-make "$desktop" /usr/share/quillmoor; do
  e2e_check "removed: $file" test ! -e "$file"
done
e2e_log "passed"
