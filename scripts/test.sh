#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Quillmoor and runs every test, keeping both cores busy:
#  1. the programs as a Debian package would build them (Release, the compiler flags of
#     dpkg-buildflags, installed under /usr), as a unity build, in build-release/, with the
#     end-to-end tests alone;
#  2. the end-to-end tests drive that window, one at a time on their own X server, in the
#     background while the next builds compile (they mostly wait for the window);
#  3. a build with AddressSanitizer and UndefinedBehaviorSanitizer, window and help included, made
#     with clang, each file on its own, in build-asan/, which runs all other tests: unit, window,
#     help, command line, install tree, and the checks of the sources (layers, include circles,
#     sizes, formatting);
#  4. a build with ThreadSanitizer of the tests of code that runs on several threads (build-tsan/);
#  5. the libFuzzer targets, a few seconds each (build-fuzz/), all three at once and beside step 6;
#  6. the Debian package made from build-release/, linted, installed, tried and removed again (as
#     root only), after every other test of the programs, since the installed package is visible to
#     all programs (the fuzz targets are built from the sources alone and read no installed file).
# Warnings are errors in the builds of the program. Nothing comes from a compiler cache: the run
# starts from the sources alone. Each step's wall and CPU time is shown when it ends. The last
# lines name the tests that failed and sum up all test runs: "N passed, N failed". The exit status
# is non-zero when a build or a test failed.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
export CCACHE_DISABLE=1

work=$(mktemp -d "${TMPDIR:-/tmp}/quillmoor-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
# Counts and names of failures go to files, as the background steps run in subshells.
: >"$work/counts"
: >"$work/failed"
: >"$work/times"
started=$(date +%s)

# record PASSED FAILED SKIPPED
record() { echo "$1 $2 $3" >>"$work/counts"; }

fail_step() {
    echo "*** $1 failed"
    record 0 1 0
    echo "$1" >>"$work/failed"
}

# Sets cpu_seconds to the CPU seconds this shell's finished children used so far. `times` must run
# in this shell itself (a command substitution would ask a fresh subshell), and each shell that
# runs steps has its own file for it ($cpu_file).
cpu_file="$work/cpu.main"
read_cpu() {
    times >"$cpu_file"
    cpu_seconds=$(awk 'NR == 2 { split($1, u, "m"); split($2, s, "m"); printf "%d", u[1] * 60 + u[2] + s[1] * 60 + s[2] }' \
        "$cpu_file")
}

# timed NAME COMMAND...: runs the command and notes its wall and CPU seconds.
timed() {
    step_name=$1
    shift
    step_t0=$(date +%s)
    read_cpu
    step_c0=$cpu_seconds
    "$@"
    step_rc=$?
    read_cpu
    line=$(printf '%-34s %5d s wall %5d s CPU' "$step_name" "$(($(date +%s) - step_t0))" "$((cpu_seconds - step_c0))")
    echo "--- $line"
    echo "$line" >>"$work/times"
    return $step_rc
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

# run_tests DIR CTEST-OPTION...: runs ctest and adds its counts and failed tests to the sums.
run_tests() {
    dir=$1
    shift
    echo "=== Testing in $dir: ctest $*"
    log=$(mktemp "$work/ctest.XXXXXX")
    { (cd "$dir" && ctest --output-on-failure --timeout 300 "$@"); echo $? >"$log.rc"; } 2>&1 | tee "$log"
    rc=$(cat "$log.rc")
    summary=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
    if [ -n "$summary" ]; then
        run_failed=$(echo "$summary" | sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/')
        run_total=$(echo "$summary" | sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/')
        # ctest counts skipped tests (root running a permission test, say) as passed.
        run_skipped=$(grep -c -- '\*\*\*Skipped' "$log" || true)
        record $((run_total - run_failed - run_skipped)) "$run_failed" "$run_skipped"
        # "The following tests FAILED:" is followed by lines "  12 - name (Failed)".
        sed -n '/The following tests FAILED:/,$p' "$log" | sed -n -E "s|^[[:space:]]*[0-9]+ - (.*) \(.*\)\$|$dir: \1|p" \
            >>"$work/failed"
        if [ "$rc" -ne 0 ] && [ "$run_failed" -eq 0 ]; then
            fail_step "ctest in $dir"
        fi
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
        record 1 0 0
    elif [ "$rc" -eq 77 ]; then
        echo "($name skipped)"
        record 0 0 1
    else
        fail_step "$name"
    fi
}

# The flags a Debian package build passes to the compiler, with every hardening feature on.
packager_flags() {
    DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"
}

# One compiler run per few files (a unity build): the Qt and standard headers are read and their
# code optimised once per batch, which halves the time of this build; the sanitizer build still
# compiles each file on its own, so a file that lacks an include of its own is still found.
build_release() {
    cppflags=$(packager_flags CPPFLAGS)
    build build-release -DCMAKE_BUILD_TYPE=Release -DCMAKE_UNITY_BUILD=ON -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
        -DCMAKE_INSTALL_PREFIX=/usr -DQLM_BUILD_UI=ON -DQLM_SANITIZE=OFF -DQLM_BUILD_TESTS=ON \
        -DQLM_E2E_TESTS_ONLY=ON -DQLM_BUILD_BENCH=OFF "-DCMAKE_C_FLAGS=$(packager_flags CFLAGS) $cppflags" \
        "-DCMAKE_CXX_FLAGS=$(packager_flags CXXFLAGS) $cppflags" \
        "-DCMAKE_EXE_LINKER_FLAGS=$(packager_flags LDFLAGS)" \
        "-DCMAKE_SHARED_LINKER_FLAGS=$(packager_flags LDFLAGS)"
}

# The end-to-end tests drive the window on their own X server: one at a time.
run_e2e_tests() {
    cpu_file="$work/cpu.e2e"
    timed "end-to-end tests (build-release)" run_tests build-release -L e2e
}

# With clang, which compiles this build in about 55 % of GCC's time (the window's files spend theirs
# reading Qt's headers) and whose tests then run as fast; GCC builds the other two, so both
# compilers' warnings count.
run_asan() {
    timed "build-asan" build build-asan -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
        -DQLM_SANITIZE=ON -DQLM_BUILD_UI=ON -DQLM_BUILD_BENCH=OFF &&
        timed "tests (build-asan)" run_tests build-asan -LE e2e -j2
}

run_tsan() {
    timed "build-tsan" build build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
        -DQLM_SANITIZE=thread -DQLM_BUILD_UI=OFF -DQLM_BUILD_BENCH=OFF &&
        timed "threaded tests (build-tsan)" run_tests build-tsan -j2
}

# The libFuzzer targets (fuzz/, a small project of their own built with clang in build-fuzz/), each
# run for $QLM_FUZZ_SECONDS (10) seconds from seeds out of the test data; what makes one fail is
# left in build-fuzz/ (crash-*, oom-*, timeout-*).
build_fuzz_targets() {
    echo "=== Building in build-fuzz"
    if ! cmake -S fuzz -B build-fuzz -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++; then
        fail_step "Configuring build-fuzz"
        return 1
    fi
    if ! cmake --build build-fuzz -j2; then
        fail_step "Building build-fuzz"
        return 1
    fi
}

# The three targets fuzz at the same time, each into its own log, shown when all are done.
run_fuzz_targets() {
    seeds="$work/seeds"
    mkdir -p "$seeds/picture" "$seeds/ini" "$seeds/chm"
    cp tests/data/pictures/quadrants.* tests/data/pictures/checker.* tests/data/pictures/png_truncated.png \
        tests/data/pictures/gif_truncated.gif tests/data/pictures/exif_orientation_6.jpg "$seeds/picture/"
    cp tests/data/settings/*.ini "$seeds/ini/"
    cp tests/data/help/*.chm "$seeds/chm/"
    [ ! -f build-release/app/QLM.chm ] || cp build-release/app/QLM.chm "$seeds/chm/"
    fuzz_pids=""
    for target in picture ini chm; do
        run_script "fuzz_$target" "build-fuzz/fuzz_$target" -max_total_time="${QLM_FUZZ_SECONDS:-10}" \
            -rss_limit_mb=2048 -timeout=10 -artifact_prefix=build-fuzz/ "$seeds/$target" \
            >"$work/fuzz_$target.log" 2>&1 &
        fuzz_pids="$fuzz_pids $!"
    done
    # shellcheck disable=SC2086
    wait $fuzz_pids
    cat "$work/fuzz_picture.log" "$work/fuzz_ini.log" "$work/fuzz_chm.log"
}

run_debian_package() {
    run_script "Debian package" bash tests/install/debian_package.sh build-release "$root" \
        "$root/build-release/e2e-screenshots"
}

if timed "installing the packages" sh scripts/install_deps.sh; then
    e2e_pid=""
    if timed "build-release" build_release; then
        # Its output is shown once it is over, so that it does not mix with the builds'.
        run_e2e_tests >"$work/e2e.log" 2>&1 &
        e2e_pid=$!
    fi
    run_asan
    run_tsan
    fuzz_pid=""
    if timed "build-fuzz" build_fuzz_targets; then
        # Fuzzing is bound to its seconds, not to the processor: it runs beside the package test.
        (cpu_file="$work/cpu.fuzz" && timed "fuzzing" run_fuzz_targets) >"$work/fuzz.log" 2>&1 &
        fuzz_pid=$!
    fi
    if [ -n "$e2e_pid" ]; then
        wait "$e2e_pid"
        cat "$work/e2e.log"
        timed "Debian package (build-release)" run_debian_package
    fi
    if [ -n "$fuzz_pid" ]; then
        wait "$fuzz_pid"
        cat "$work/fuzz.log"
    fi
else
    fail_step "Installing the packages"
fi

echo "=== Times (wall and CPU seconds of each step; the end-to-end tests ran beside the builds)"
cat "$work/times"
read_cpu
printf 'whole run: %d s wall, %d s CPU\n' "$(($(date +%s) - started))" "$cpu_seconds"
passed=$(awk '{ n += $1 } END { print n + 0 }' "$work/counts")
failed=$(awk '{ n += $2 } END { print n + 0 }' "$work/counts")
skipped=$(awk '{ n += $3 } END { print n + 0 }' "$work/counts")
[ "$skipped" -eq 0 ] || echo "($skipped tests skipped)"
if [ -s "$work/failed" ]; then
    echo "Failed:"
    sed 's/^/    /' "$work/failed"
fi
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
