#!/usr/bin/env bash
# Builds the program and starts it: the recovery window on the sample image (or on the image or tape
# named on the command line). Without a display it lists the sample image on the terminal instead.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"
mkdir -p out
build/tools/mtfwriter/ostrum-mkmedia sample out/sample.img
if [ $# -eq 0 ]; then
    set -- out/sample.img
fi
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec build/src/app/ostrum-tape "$@"
fi
echo "run.sh: no display to open the window on; listing the sample image on the terminal instead" >&2
exec build/cli/ostrum-tape-cli list out/sample.img
