#!/usr/bin/env bash
# Builds and runs every test: the formatting of the sources, the normal build with all tests, the core
# again under AddressSanitizer/UndefinedBehaviorSanitizer, and a short libFuzzer run of every fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
fuzz_seconds=${OSTRUM_FUZZ_SECONDS:-30}

echo "== formatting (.clang-format)"
find src cli tools tests bench \( -name '*.h' -o -name '*.cpp' \) -print0 |
    xargs -0 clang-format --dry-run --Werror

echo "== normal build and tests"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== sanitizer build (ASan + UBSan) of the core and its tests"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DOSTRUM_SANITIZE=ON -DOSTRUM_CORE_ONLY=ON >/dev/null
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== fuzzing for ${fuzz_seconds}s per target"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
      -DOSTRUM_FUZZ=ON -DOSTRUM_CORE_ONLY=ON >/dev/null
cmake --build build-fuzz -j "$jobs" --target fuzz_targets
scripts/run-fuzzers.sh build-fuzz "$fuzz_seconds"
echo "== all tests passed"
