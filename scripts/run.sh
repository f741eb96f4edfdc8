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
    # The window starts in the folder its settings name ("Dir" in [Settings] of the QLM.ini beside
    # the program): the copy, every other line of the file kept as it is.
    python3 - build/app/QLM.ini "$gallery/" <<'EOF_INI'
import os, sys
path, folder = sys.argv[1], sys.argv[2].encode()
lines = open(path, 'rb').read().split(b'\n') if os.path.exists(path) else []
ending = b'\r' if lines and lines[0].endswith(b'\r') else b''
entry = b'Dir=' + folder + ending
section, done = None, False
for i, line in enumerate(lines):
    bare = line.rstrip(b'\r').strip()
    if bare.startswith(b'[') and bare.endswith(b']'):
        if section is not None:
            break
        if bare[1:-1].strip().lower() == b'settings':
            section = i
    elif section is not None and bare.split(b'=', 1)[0].strip().lower() == b'dir':
        lines[i], done = entry, True
        break
if not done and section is not None:
    lines.insert(section + 1, entry)
elif not done:
    while lines and lines[-1] == b'':
        lines.pop()
    lines += [b'[Settings]' + ending, entry, b'']
open(path, 'wb').write(b'\n'.join(lines))
EOF_INI
    echo "The window opens on a copy of the demo pictures in a folder of its own:"
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
