#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Quillmoor in build/ and starts the window with the sample templates of templates/.
# The demo pictures are copied to a fresh temporary folder first, so that galleries made of them
# leave the clone as it is; the script says where the copy is.
# Without a display (or before the window is built) it makes a gallery of that copy with
# quillmoor-make instead and says where it is.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

sh scripts/install_deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQLM_BUILD_UI=ON
# Only the two programs: the tests and benchmarks are the business of scripts/test.sh.
cmake --build build -j2 --target quillmoor quillmoor-make

gallery=$(mktemp -d "${TMPDIR:-/tmp}/quillmoor-demo.XXXXXX")
cp demo/* "$gallery/"

if [ -x build/app/quillmoor ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
    echo "The demo pictures were copied to a folder of their own; open it in the window's list:"
    echo "  $gallery"
    # The window reads its templates from the working directory.
    cd templates
    exec ../build/app/quillmoor "$@"
fi

if [ -x build/app/quillmoor ]; then
    echo "No display found (DISPLAY is not set): the window cannot open here."
fi
build/cli/quillmoor-make --no-ask --templates templates "$gallery"
echo "A gallery of the demo pictures was made with quillmoor-make:"
echo "  $gallery/index.html"
