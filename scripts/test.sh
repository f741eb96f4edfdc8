#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Quillmoor and runs every test: the normal build in build/ (window included), then a
# build with AddressSanitizer and UndefinedBehaviorSanitizer in build-asan/ (without the window),
# then the libFuzzer targets for a few seconds each (build-fuzz/), then the programs alone as a
# Debian package would build them (Release, with the compiler flags of dpkg-buildflags, installed
# under /usr) in build-release/, from which the Debian package is made, installed, tried and removed
# again (as root only). Warnings are errors in the three builds of the program.
# Benchmarks are built but not run. The last line sums up all test runs: "N passed, N failed".
# The exit status is non-zero when a build or a test failed.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

passed=0
failed=0
skipped=0
status=0
work=$(mktemp -d "${TMPDIR:-/tmp}/quillmoor-test.XXXXXX")
trap 'rm -rf "$work"' EXIT

fail_step() {
    echo "*** $1 failed"
    failed=$((failed + 1))
    status=1
}

# build DIR CMAKE-OPTION...: configures and builds; false when either fails.
build() {
    dir=$1
    shift
    echo "=== Building in $dir"
    if ! cmake -S . -B "$dir" -G Ninja "$@"; then
        fail_step "Configuring $dir"
        return 1
    fi
    if ! cmake --build "$dir" -j2; then
        fail_step "Building $dir"
        return 1
    fi
}

# run_tests DIR CTEST-OPTION...: runs ctest and adds its counts to the sums.
run_tests() {
    dir=$1
    shift
    echo "=== Testing in $dir: ctest $*"
    log="$work/ctest.log"
    { (cd "$dir" && ctest --output-on-failure --timeout 300 "$@"); echo $? > "$work/ctest.rc"; } 2>&1 | tee "$log"
    rc=$(cat "$work/ctest.rc")
    summary=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
    if [ -n "$summary" ]; then
        run_failed=$(echo "$summary" | sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/')
        run_total=$(echo "$summary" | sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/')
        # ctest counts skipped tests (root running a permission test, say) as passed.
        run_skipped=$(grep -c -- '\*\*\*Skipped' "$log" || true)
        passed=$((passed + run_total - run_failed - run_skipped))
        skipped=$((skipped + run_skipped))
        failed=$((failed + run_failed))
        [ "$rc" -eq 0 ] || status=1
    elif grep -q 'No tests were found' "$log"; then
        :
    else
        fail_step "ctest in $dir"
    fi
}

# run_script NAME COMMAND...: a test script outside ctest; exit status 0 passed, 77 skipped.
run_script() {
    name=$1
    shift
    echo "=== $name: $*"
    "$@"
    rc=$?
    if [ "$rc" -eq 0 ]; then
        passed=$((passed + 1))
    elif [ "$rc" -eq 77 ]; then
        echo "($name skipped)"
        skipped=$((skipped + 1))
    else
        fail_step "$name"
    fi
}

# The flags a Debian package build passes to the compiler, with every hardening feature on.
packager_flags() {
    DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"
}

# The libFuzzer targets (fuzz/, a small project of their own built with clang in build-fuzz/), each
# run for $QLM_FUZZ_SECONDS (10) seconds from seeds out of the test data; what makes one fail is
# left in build-fuzz/ (crash-*, oom-*, timeout-*).
run_fuzz_targets() {
    echo "=== Building in build-fuzz"
    if ! cmake -S fuzz -B build-fuzz -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++; then
        fail_step "Configuring build-fuzz"
        return
    fi
    if ! cmake --build build-fuzz -j2; then
        fail_step "Building build-fuzz"
        return
    fi
    seeds="$work/seeds"
    mkdir -p "$seeds/picture" "$seeds/ini" "$seeds/chm"
    cp tests/data/pictures/quadrants.* tests/data/pictures/checker.* tests/data/pictures/png_truncated.png \
        tests/data/pictures/gif_truncated.gif tests/data/pictures/exif_orientation_6.jpg "$seeds/picture/"
    cp tests/data/settings/*.ini "$seeds/ini/"
    cp tests/data/help/*.chm "$seeds/chm/"
    [ ! -f build/app/QLM.chm ] || cp build/app/QLM.chm "$seeds/chm/"
    for target in picture ini chm; do
        run_script "fuzz_$target" "build-fuzz/fuzz_$target" -max_total_time="${QLM_FUZZ_SECONDS:-10}" \
            -rss_limit_mb=2048 -timeout=10 -artifact_prefix=build-fuzz/ "$seeds/$target"
    done
}

if sh scripts/install_deps.sh; then
    if build build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
        -DQLM_BUILD_UI=ON -DQLM_SANITIZE=OFF -DQLM_BUILD_BENCH=ON; then
        run_tests build -LE e2e -j2
        # The end-to-end tests drive the window on their own X server: one at a time.
        run_tests build -L e2e
    fi
    if build build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
        -DQLM_SANITIZE=ON -DQLM_BUILD_UI=OFF -DQLM_BUILD_BENCH=OFF; then
        run_tests build-asan -j2
    fi
    run_fuzz_targets
    cppflags=$(packager_flags CPPFLAGS)
    build build-release -DCMAKE_BUILD_TYPE=Release -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
        -DCMAKE_INSTALL_PREFIX=/usr -DQLM_BUILD_UI=ON -DQLM_SANITIZE=OFF -DQLM_BUILD_TESTS=OFF \
        -DQLM_BUILD_BENCH=OFF "-DCMAKE_C_FLAGS=$(packager_flags CFLAGS) $cppflags" \
        "-DCMAKE_CXX_FLAGS=$(packager_flags CXXFLAGS) $cppflags" \
        "-DCMAKE_EXE_LINKER_FLAGS=$(packager_flags LDFLAGS)" \
        "-DCMAKE_SHARED_LINKER_FLAGS=$(packager_flags LDFLAGS)" &&
        run_script "Debian package" bash tests/install/debian_package.sh build-release "$root" \
            "$root/build-release/e2e-screenshots"
else
    fail_step "Installing the packages"
fi

[ "$skipped" -eq 0 ] || echo "($skipped tests skipped)"
echo "$passed passed, $failed failed"
exit $status
