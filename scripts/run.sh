#!/usr/bin/env bash
# Builds the program and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"
if [ -x build/src/app/ostrum-tape ]; then
    exec build/src/app/ostrum-tape "$@"
fi
# Until the desktop windows exist, the program is the command-line tool: make the
# sample image and list what the scan finds on it.
mkdir -p out
build/tools/mtfwriter/ostrum-mkmedia sample out/sample.img
exec build/cli/ostrum-tape-cli list out/sample.img
