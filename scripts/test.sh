#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds and runs every test: the formatting of the sources, the normal build with all tests, the Debian
# package made from it, every test program again under AddressSanitizer/UndefinedBehaviorSanitizer (the
# offscreen window, mark-up and message-box tests included), and a short libFuzzer run of every fuzz target.
# Every build treats warnings as errors (OSTRUM_WERROR); a developer's own build keeps them warnings.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
fuzz_seconds=${OSTRUM_FUZZ_SECONDS:-30}

echo "== formatting (.clang-format) and the license identifier of every source"
find src cli tools tests bench \( -name '*.h' -o -name '*.cpp' \) -print0 |
    xargs -0 clang-format --dry-run --Werror
scripts/spdx.sh --check

echo "== normal build and tests"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSTRUM_WERROR=ON >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== the Debian package"
tests/package/package_test.sh build

echo "== sanitizer build (ASan + UBSan) and every test program"
# The build runs sanitized programs too (the artwork tool, the listing of each test program's tests), so the
# options hold for the whole pass. Leaks that Qt's libraries report are suppressed as the file says.
(
    export ASAN_OPTIONS=detect_leaks=1
    export LSAN_OPTIONS="suppressions=$PWD/tests/sanitizers/lsan.supp"
    export UBSAN_OPTIONS=print_stacktrace=1
    cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DOSTRUM_SANITIZE=ON -DOSTRUM_WERROR=ON \
          -DOSTRUM_BENCH=OFF >/dev/null
    cmake --build build-asan -j "$jobs"
    ctest --test-dir build-asan --output-on-failure -j "$jobs"
)

echo "== fuzzing for ${fuzz_seconds}s per target"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
      -DOSTRUM_FUZZ=ON -DOSTRUM_CORE_ONLY=ON -DOSTRUM_WERROR=ON >/dev/null
cmake --build build-fuzz -j "$jobs" --target fuzz_targets
scripts/run-fuzzers.sh build-fuzz "$fuzz_seconds"
echo "== all tests passed"
