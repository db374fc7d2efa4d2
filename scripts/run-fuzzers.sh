#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every fuzz target built in the given build folder for the given number of seconds,
# seeded with the corpus the build made. Fails when a target finds a crash.
set -euo pipefail
build=$1
seconds=$2
found=0
for target in "$build"/tests/fuzz/fuzz_*; do
    [ -f "$target" ] && [ -x "$target" ] || continue
    name=$(basename "$target")
    corpus="$build/tests/fuzz/corpus/$name"
    mkdir -p "$corpus"
    dict="tests/fuzz/${name}.dict"
    args=(-max_total_time="$seconds" -max_len=8192 -print_final_stats=1 -rss_limit_mb=2048)
    # A target's own flags, one a line in <target>.options (the media targets take inputs up to 64 KiB),
    # come after the defaults, which they override.
    options="tests/fuzz/${name}.options"
    [ -f "$options" ] && mapfile -t own < "$options" && args+=("${own[@]}")
    args+=("$corpus")
    [ -f "$dict" ] && args=(-dict="$dict" "${args[@]}")
    echo "-- $name"
    "$target" "${args[@]}" 2>&1 | tail -n 12
    found=$((found + 1))
done
[ "$found" -gt 0 ] || { echo "no fuzz targets in $build/tests/fuzz"; exit 1; }
