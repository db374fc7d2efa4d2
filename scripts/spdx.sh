#!/usr/bin/env bash
# Puts the project's license identifier at the top of every source in the tree that lacks it, in that
# file's own comment style: "// SPDX-License-Identifier: GPL-3.0-or-later" as the first line of C++ files,
# "# ..." as the first line of CMake files and after the "#!" line of shell scripts. Files that carry it
# already are left alone, so the script can run again at any time.
# With --check it changes nothing, names every source without the line and exits 1 if there is one.
# Usage: scripts/spdx.sh [--check]
set -euo pipefail
cd "$(dirname "$0")/.."

readonly identifier="SPDX-License-Identifier: GPL-3.0-or-later"
check=0
case "${1:-}" in
    --check) check=1 ;;
    "") ;;
    *)
        echo "usage: scripts/spdx.sh [--check]" >&2
        exit 2
        ;;
esac

# The sources: tracked files and new ones not ignored, by name; outside a git work tree (an unpacked
# archive), the same names found on disk, leaving out the build and output folders.
sources() {
    if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        git ls-files --cached --others --exclude-standard -- \
            '*.h' '*.cpp' '*.sh' '*.cmake' '*CMakeLists.txt' 'resources/completion/*'
    else
        find . \( -path './build*' -o -path ./out -o -path ./.git \) -prune -o -type f \
            \( -name '*.h' -o -name '*.cpp' -o -name '*.sh' -o -name '*.cmake' -o -name CMakeLists.txt \
            -o -path './resources/completion/*' \) -print | sed 's|^\./||'
    fi | sort -u
}

comment_for() {
    case "$1" in
        *.h | *.cpp) echo "// $identifier" ;;
        *) echo "# $identifier" ;;
    esac
}

# Whether the identifier stands in the first lines, where a reader and the tools look for it.
has_identifier() {
    head -n 3 "$1" | grep -q "SPDX-License-Identifier:"
}

add_identifier() {
    local file=$1 line
    line=$(comment_for "$file")
    local updated
    updated=$(mktemp "$file.XXXXXX")
    if head -n 1 "$file" | grep -q '^#!'; then
        { head -n 1 "$file"; echo "$line"; tail -n +2 "$file"; } >"$updated"
    else
        { echo "$line"; cat "$file"; } >"$updated"
    fi
    chmod --reference="$file" "$updated"
    mv "$updated" "$file"
}

missing=0
while IFS= read -r file; do
    [ -f "$file" ] || continue
    has_identifier "$file" && continue
    if [ "$check" -eq 1 ]; then
        echo "spdx: $file has no \"$identifier\" line (scripts/spdx.sh adds it)" >&2
        missing=$((missing + 1))
    else
        add_identifier "$file"
        echo "spdx: added to $file"
    fi
done < <(sources)

if [ "$check" -eq 1 ] && [ "$missing" -gt 0 ]; then
    echo "spdx: $missing sources lack the license identifier" >&2
    exit 1
fi
