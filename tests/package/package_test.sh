#!/usr/bin/env bash
# Checks the Debian package made from a build folder as a user would meet it: the manual page reads without a
# warning from man, the package holds both programs with their desktop files, and the command-line tool as
# installed from it (outside the build folder, with no library path set) lists the sample medium.
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

echo "-- the manual page"
warnings=$(man --warnings -E UTF-8 -l resources/man/ostrum-tape-cli.1 2>&1 >/dev/null) ||
    fail "man could not read resources/man/ostrum-tape-cli.1: $warnings"
[ -z "$warnings" ] || fail "man warns about resources/man/ostrum-tape-cli.1:"$'\n'"$warnings"

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
for file in usr/bin/ostrum-tape usr/bin/ostrum-tape-cli usr/share/applications/ostrum-tape.desktop \
    usr/share/mime/packages/ostrum-tape.xml usr/share/man/man1/ostrum-tape-cli.1.gz \
    usr/share/icons/hicolor/{16x16,32x32,48x48}/apps/ostrum-tape.png; do
    [ -s "$root/$file" ] || fail "the package lacks /$file"
done
warnings=$(man --warnings -E UTF-8 -l "$root/usr/share/man/man1/ostrum-tape-cli.1.gz" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "man warns about the installed page:"$'\n'"$warnings"

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
