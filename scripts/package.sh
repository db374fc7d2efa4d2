#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds a Release tree (build-release/, without the tests and the benchmarks) and makes the Debian package from
# it: out/ostrum-tape_VERSION_ARCH.deb. Install it with `sudo apt install ./out/ostrum-tape_*.deb`.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DOSTRUM_BENCH=OFF >/dev/null
cmake --build build-release -j "$(nproc)"
rm -rf out/cpack
cpack --config build-release/CPackConfig.cmake -G DEB -B "$PWD/out/cpack"
for deb in out/cpack/*.deb; do
    mv -f "$deb" out/
    echo "package: out/$(basename "$deb")"
done
rm -rf out/cpack
