#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs every Debian package the project needs to build, test, package and run (dpkg-dev and file let CPack
# read the package's library dependencies off the programs; the package test checks the package with lintian,
# its AppStream metadata with appstream, its desktop entry with desktop-file-utils, its manual pages with
# man-db and its completion with bash-completion).
# Safe to run again: packages already present are left alone and apt is only asked when something is missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
    libgtest-dev libgmock-dev googletest libbenchmark-dev libcli11-dev
    clang libclang-rt-14-dev clang-format
    xvfb fontconfig fonts-dejavu-core shared-mime-info
    dpkg-dev file man-db lintian appstream desktop-file-utils bash-completion
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "setup: all ${#packages[@]} packages already installed"
    exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
echo "setup: installing ${missing[*]}"
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
