#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Lists the C++ sources of the program, its tests, benchmarks and fuzz targets that clang-format
# would change, and fails when there is one. The tree is formatted with clang-format 14 (Debian 12);
# other versions format some lines differently, so without clang-format 14 the check is skipped
# (exit status 77).
# Usage: check_format.sh [SOURCE-TREE]
set -u
cd "${1:-$(dirname "$0")/..}" || exit 1

format=""
for candidate in clang-format-14 clang-format; do
    if command -v "$candidate" >/dev/null 2>&1 &&
        "$candidate" --version | grep -q -E 'version 14\.'; then
        format=$candidate
        break
    fi
done
if [ -z "$format" ]; then
    echo "SKIP: clang-format 14 is not installed"
    exit 77
fi

# help/manual holds the help file's context numbers, written for the help compiler.
unformatted=$(find platform core ui help app cli tests bench fuzz assets -path help/manual -prune -o \
    -type f \( -name '*.cpp' -o -name '*.h' \) -print | sort | while read -r file; do
    "$format" -style=file "$file" | cmp -s - "$file" || echo "$file"
done)
if [ -n "$unformatted" ]; then
    echo "Not formatted as $format -style=file would (run it with -i on them):"
    echo "$unformatted" | sed 's/^/    /'
    exit 1
fi
echo "All C++ sources are formatted."
