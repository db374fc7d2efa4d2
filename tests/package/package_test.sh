#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the Debian package made from a build folder as a user would meet it and as Debian's own tools read
# it: lintian reports nothing on it, both manual pages read without a warning from man, the desktop entry
# and the AppStream metadata validate, the package holds both programs with their desktop files, the HTML
# manual whose links and pictures are all there, the copyright and the changelog; bash completes the
# command-line tool's commands and options; and the tool as installed from it (outside the build folder,
# with no library path set) lists the sample medium.
# Usage: tests/package/package_test.sh BUILD_FOLDER
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(realpath "$1")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() {
    echo "package test: $*" >&2
    exit 1
}

# Fails unless man reads the page given without a word of warning.
check_manual_page() {
    local warnings
    warnings=$(man --warnings -E UTF-8 -l "$1" 2>&1 >/dev/null) || fail "man could not read $1: $warnings"
    [ -z "$warnings" ] || fail "man warns about $1:"$'\n'"$warnings"
}

echo "-- the manual pages"
for page in resources/man/ostrum-tape.1 resources/man/ostrum-tape-cli.1; do
    check_manual_page "$page"
done

echo "-- the package"
(cd "$build" && cpack -G DEB -B "$scratch/cpack" >"$scratch/cpack.log" 2>&1) ||
    { cat "$scratch/cpack.log" >&2; fail "cpack -G DEB failed in $build"; }
debs=("$scratch"/cpack/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single .deb: ${debs[*]}"
deb=${debs[0]}
[ "$(dpkg-deb -f "$deb" Package)" = ostrum-tape ] || fail "the package is not named ostrum-tape"
[ "$(dpkg-deb -f "$deb" Version)" = 4.02 ] || fail "the package's version is not 4.02"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6core6 libqt6gui6 libqt6widgets6 qt6-qpa-plugins; do
    [[ $depends == *"$library"* ]] || fail "the package does not depend on $library: $depends"
done

root=$scratch/root
dpkg -x "$deb" "$root"
doc=usr/share/doc/ostrum-tape
for file in usr/bin/ostrum-tape usr/bin/ostrum-tape-cli usr/share/applications/ostrum-tape.desktop \
    usr/share/metainfo/com.brivane.OstrumTape.metainfo.xml usr/share/mime/packages/ostrum-tape.xml \
    usr/share/man/man1/ostrum-tape.1.gz usr/share/man/man1/ostrum-tape-cli.1.gz \
    usr/share/bash-completion/completions/ostrum-tape-cli "$doc/copyright" "$doc/changelog.gz" \
    "$doc/manual/index.html" usr/share/icons/hicolor/{16x16,32x32,48x48}/apps/ostrum-tape.png; do
    [ -s "$root/$file" ] || fail "the package lacks /$file"
done
for page in "$root"/usr/share/man/man1/*.1.gz; do
    check_manual_page "$page"
done

echo "-- lintian"
# Its tags come on standard output; standard error carries its notes about how it was run (as root, say).
lintian_output=$(lintian "$deb" 2>"$scratch/lintian.err") ||
    fail "lintian failed on the package:"$'\n'"$lintian_output"$'\n'"$(cat "$scratch/lintian.err")"
[ -z "$lintian_output" ] || fail "lintian reports on the package:"$'\n'"$lintian_output"

echo "-- the desktop entry and the AppStream metadata"
desktop-file-validate "$root/usr/share/applications/ostrum-tape.desktop" ||
    fail "the desktop entry does not validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/com.brivane.OstrumTape.metainfo.xml" >"$scratch/appstream.txt" 2>&1 ||
    { cat "$scratch/appstream.txt" >&2; fail "the AppStream metadata does not validate"; }
launchable=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' \
    "$root/usr/share/metainfo/com.brivane.OstrumTape.metainfo.xml")
[ -f "$root/usr/share/applications/$launchable" ] ||
    fail "the AppStream metadata launches \"$launchable\", which the package does not hold"

echo "-- the manual's links and pictures"
manual=$root/$doc/manual
for page in "$manual"/*.html; do
    # Every link and picture that stays in the manual names a file of it (an anchor after "#" aside).
    while IFS= read -r target; do
        [ -e "$manual/${target%%#*}" ] || fail "$(basename "$page") links to $target, which the manual lacks"
    done < <(grep -o -E '(href|src)="[^"#:]+' "$page" | sed -E 's/^(href|src)="//')
done

echo "-- bash completion"
# The completions bash offers for a command line whose last word is being typed, as bash-completion runs
# the function the package's file registers for the tool.
completions() {
    bash --norc --noprofile -c '
        source /usr/share/bash-completion/bash_completion
        source "$1"
        shift
        registered=$(complete -p ostrum-tape-cli) || exit 3
        function=${registered#*-F }
        function=${function%% *}
        COMP_WORDS=("$@")
        COMP_CWORD=$(($# - 1))
        COMP_LINE="$*"
        COMP_POINT=${#COMP_LINE}
        "$function" ostrum-tape-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}" 2>/dev/null
        printf "%s\n" "${COMPREPLY[@]}"
    ' completions "$root/usr/share/bash-completion/completions/ostrum-tape-cli" "$@" ||
        fail "the completion does not register a function for ostrum-tape-cli"
}
expect_completions() {
    local expected=$1
    shift
    local got
    got=$(completions "$@" | LC_ALL=C sort | paste -sd ' ')
    [ "$got" = "$expected" ] || fail "completing \"$*\" offers \"$got\", not \"$expected\""
}
expect_completions "extract" ostrum-tape-cli ex
expect_completions "drives extract image list" ostrum-tape-cli ""
expect_completions "-- --attach --capacity --catalog --deep --help --json" ostrum-tape-cli list -
expect_completions "-- --attach --capacity --deep --dry-run --existing --help --include" ostrum-tape-cli extract -
expect_completions "-- --attach --capacity --help --json" ostrum-tape-cli drives -
expect_completions "-- --attach --capacity --help --overwrite" ostrum-tape-cli image -
expect_completions "keep-both overwrite skip" ostrum-tape-cli extract --existing ""
expect_completions "//./tape3" ostrum-tape-cli list --attach 3=x.tap //./
touch "$scratch/sample.tap" "$scratch/other.img"
# Bash parts words at "=": what follows it is what the completion replaces.
expect_completions "$scratch/sample.tap" ostrum-tape-cli list --attach "3=$scratch/s"
expect_completions "$scratch/other.img" ostrum-tape-cli extract "$scratch/o"
rm "$scratch/sample.tap" "$scratch/other.img"

echo "-- the installed programs"
(unset LD_LIBRARY_PATH && "$root/usr/bin/ostrum-tape" --help >/dev/null) ||
    fail "the installed ostrum-tape does not start"
"$build/tools/mtfwriter/ostrum-mkmedia" sample "$scratch/sample.img" >/dev/null
status=0
(cd "$scratch" && unset LD_LIBRARY_PATH && "$root/usr/bin/ostrum-tape-cli" list sample.img) >"$scratch/list.txt" ||
    status=$?
[ "$status" -eq 0 ] || fail "the installed ostrum-tape-cli list exited $status"
cat >"$scratch/expected.txt" <<'FILES'
TAPE MEDIA\BACKUP SET 1(_Office documents)\README
TAPE MEDIA\BACKUP SET 1(_Office documents)\notes.txt
TAPE MEDIA\BACKUP SET 1(_Office documents)\DOCS\A.TXT
TAPE MEDIA\BACKUP SET 1(_Office documents)\DOCS\report.doc
TAPE MEDIA\BACKUP SET 1(_Office documents)\DOCS\Résumé.doc
TAPE MEDIA\BACKUP SET 1(_Office documents)\DOCS\LETTERS\january.txt
TAPE MEDIA\BACKUP SET 1(_Office documents)\DOCS\LETTERS\february.txt
TAPE MEDIA\BACKUP SET 1(_Office documents)\PICTURES\sunset.bmp
TAPE MEDIA\BACKUP SET 1(_Office documents)\PICTURES\logo.bmp
TAPE MEDIA\BACKUP SET 1(_Office documents)\SECURE\payroll.doc
TAPE MEDIA\BACKUP SET 2(_Weekly projects)\PROJECTS\ostrum\main.cpp
TAPE MEDIA\BACKUP SET 2(_Weekly projects)\PROJECTS\ostrum\changelog.txt
TAPE MEDIA\BACKUP SET 2(_Weekly projects)\PROJECTS\ostrum\sales.csv
TAPE MEDIA\BACKUP SET 2(_Weekly projects)\PROJECTS\ostrum\archive.backup
TAPE MEDIA\BACKUP SET 3(_Daily mail)\MAIL\inbox.txt
TAPE MEDIA\BACKUP SET 3(_Daily mail)\MAIL\Données\budget.txt
FILES
# The listing names each file on a line of its own, indented by two spaces, after "Files (16):".
sed -n '/^Files (16):$/,/^$/s/^  \(TAPE MEDIA\\.*\)$/\1/p' "$scratch/list.txt" >"$scratch/listed.txt"
diff -u "$scratch/expected.txt" "$scratch/listed.txt" >&2 || fail "the installed ostrum-tape-cli lists other files"
[ "$(tail -n 1 "$scratch/list.txt")" = "16 files found in 3 backup sets" ] ||
    fail "the listing does not end with \"16 files found in 3 backup sets\""
echo "package test: $(basename "$deb") passed"
