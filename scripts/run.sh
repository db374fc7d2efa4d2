#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the program and starts it: the wizard, with the sample tape in virtual drive 0, so that both
# roads (copy the tape into an image, or recover straight from the drive) can be tried without a tape
# drive. Arguments given replace the sample (see `ostrum-tape --help`).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target ostrum-tape ostrum-tape-cli ostrum-mkmedia

mkdir -p out
build/tools/mtfwriter/ostrum-mkmedia sample out/sample.tap --tap --block-size 65536
if [ $# -eq 0 ]; then
    set -- --attach 0=out/sample.tap
fi
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec build/src/app/ostrum-tape "$@"
fi
echo "run: no display (DISPLAY and WAYLAND_DISPLAY are not set), so the window cannot open." >&2
echo "run: listing the sample tape with the command-line tool instead:" >&2
exec build/cli/ostrum-tape-cli list --attach 0=out/sample.tap //./tape0
