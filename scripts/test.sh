#!/usr/bin/env bash
# Builds Versalo and runs every test: the normal build, then the same tests built with
# AddressSanitizer and UndefinedBehaviorSanitizer, then each fuzzer for a bounded time from its
# seed corpus, then the README's Release build with its installation and Debian package, checked
# by lintian, desktop-file-validate and appstreamcli. Warnings are errors here (and only here).
# Before building, checks that every fault of scripts/fault-check.py still applies to the code.
# Installs the Debian packages it needs first. Exits non-zero when anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh --test

jobs=$(nproc)
fuzz_seconds=${VERSALO_FUZZ_SECONDS:-60}

echo "== Every fault of scripts/fault-check.py still applies =="
python3 scripts/fault-check.py --check

echo "== Build and test =="
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVERSALO_WERROR=ON >/dev/null
cmake --build build --parallel "$jobs"
ctest --test-dir build --output-on-failure --parallel "$jobs" --timeout 600

if [ "${VERSALO_SKIP_SANITIZERS:-0}" != "1" ]; then
    echo "== Build and test with AddressSanitizer and UndefinedBehaviorSanitizer =="
    cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVERSALO_SANITIZE=ON -DVERSALO_WERROR=ON >/dev/null
    cmake --build build-asan --parallel "$jobs"
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1"
    export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    ctest --test-dir build-asan --output-on-failure --parallel "$jobs" --timeout 900
    unset ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS
fi

if [ "${VERSALO_SKIP_FUZZ:-0}" != "1" ] && [ -f fuzz/CMakeLists.txt ]; then
    echo "== Fuzzing, ${fuzz_seconds} s per target =="
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVERSALO_WERROR=ON \
        -DVERSALO_FUZZ=ON -DVERSALO_BUILD_GUI=OFF -DVERSALO_BUILD_TESTS=OFF >/dev/null
    cmake --build build-fuzz --parallel "$jobs"
    for target in build-fuzz/fuzz/fuzz_*; do
        [ -x "$target" ] || continue
        name=$(basename "$target")
        corpus=$(mktemp -d)
        cp -r "fuzz/corpus/${name#fuzz_}/." "$corpus/" 2>/dev/null || true
        echo "-- $name"
        "$target" -max_total_time="$fuzz_seconds" -print_final_stats=0 "$corpus" 2>&1 | tail -n 3
        rm -rf "$corpus"
    done
fi

echo "== Release build, installation and Debian package, as the README gives them =="
./scripts/check-package.sh build-release
./scripts/test-ratio.sh
echo "All tests passed."
