#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs with apt-get whatever the build, the program and the tests need and this Debian
# machine lacks. Does nothing (and needs no network) when everything is there.
set -eu

# clang and libclang-rt-dev (libFuzzer) are the unversioned packages of Debian's default LLVM, so
# the same names give clang 14 on Debian 12 and clang 19 on Debian 13; clang-format likewise (the
# formatting check runs with version 14 only and skips itself with another); lld links the
# sanitizer builds. xfsprogs gives tests/stress/safety_stress.sh mkfs.xfs and xfs_io.

packages="cmake ninja-build g++ pkg-config
qt6-base-dev qt6-qpa-plugins
libjpeg62-turbo-dev libpng-dev libgif-dev liblcms2-dev zlib1g-dev libicu-dev libimage-exiftool-perl
exfat-fuse exfatprogs fuse3
libgtest-dev libbenchmark-dev
xvfb xauth xdotool wmctrl openbox x11-apps x11-utils x11-xserver-utils
netpbm libjpeg-turbo-progs fonts-liberation2 tidy chromium python3
dpkg-dev file desktop-file-utils appstream man-db lintian
fp-compiler-3.2.2 fp-units-fcl-3.2.2 fp-units-misc-3.2.2 fpc-source-3.2.2 libchm-dev
clang libclang-rt-dev clang-format lld
xfsprogs"

missing=""
for package in $packages; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
    if [ "$status" != "installed" ]; then
        missing="$missing $package"
    fi
done

if [ -z "$missing" ]; then
    exit 0
fi

echo "Installing:$missing"
if [ "$(id -u)" -eq 0 ]; then
    as_root=""
elif command -v sudo >/dev/null 2>&1; then
    as_root="sudo"
else
    echo "These packages are missing and this is no root shell:$missing" >&2
    exit 1
fi
$as_root env DEBIAN_FRONTEND=noninteractive apt-get update
# shellcheck disable=SC2086
$as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $missing
