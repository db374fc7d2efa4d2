#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the seeds of the save's fuzz targets (fuzz_save, fuzz_two_media, fuzz_preview) with the media
# writer, from a small folder made here with fixed contents and dates: the same seeds come out each time,
# but for the date from-dir gives its backup set (the time it runs).
# Usage: tests/fuzz/make-save-seeds.sh BUILD_FOLDER (one that built ostrum-mkmedia).
set -euo pipefail
mkmedia="$(realpath "$1")/tools/mtfwriter/ostrum-mkmedia"
seeds="$(realpath "$(dirname "$0")")/seeds"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# Texts in the encodings the preview tells apart, a binary file, an empty one, a folder in a folder.
mkdir -p files/docs/old files/bin
printf 'plain ASCII text\nsecond line\n' > files/docs/notes.txt
printf '\xef\xbb\xbfUTF-8 with a mark: caf\xc3\xa9\n' > files/docs/marked.txt
printf '\xff\xfeU\x00T\x00F\x00-\x001\x006\x00\n\x00' > files/docs/old/wide.txt
printf 'Windows-1252: caf\xe9 \x80 5\n' > files/docs/old/ansi.txt
for i in $(seq 1 40); do printf 'record %02d of a repeated log line\n' "$i"; done > files/docs/log.txt
head -c 3000 /dev/zero | tr '\0' '\7' > files/bin/bells.bin
: > files/bin/empty.dat
find files -exec touch -h -d '2021-03-04 05:06:07' {} +

mkdir -p "$seeds"/fuzz_save "$seeds"/fuzz_two_media "$seeds"/fuzz_preview
"$mkmedia" from-dir files folder.img --set-name Files >/dev/null
"$mkmedia" from-dir files packed.img --set-name Packed --compress >/dev/null
"$mkmedia" from-dir files small-blocks.img --logical-block-size 512 --soft-filemarks >/dev/null
"$mkmedia" generate catalogued.img --files 3 --folders 2 --file-size 1500 --media-catalog >/dev/null
"$mkmedia" damage folder.img holed.img --zero 3072 1024 >/dev/null
"$mkmedia" sample sample.img >/dev/null
"$mkmedia" damage sample.img sample-start.img --truncate 65536 >/dev/null
cp folder.img packed.img small-blocks.img catalogued.img holed.img sample-start.img "$seeds"/fuzz_save/
cp folder.img packed.img holed.img "$seeds"/fuzz_preview/

# Two media: the length of the first in two bytes (little-endian), then both back to back.
pair() {
    local name=$1 first=$2 second=$3 size
    size=$(stat -c %s "$first")
    printf "\\x$(printf %02x $((size & 255)))\\x$(printf %02x $((size >> 8)))" > "$seeds/fuzz_two_media/$name"
    cat "$first" "$second" >> "$seeds/fuzz_two_media/$name"
}
"$mkmedia" from-dir files a.img --set-name Files --split-at 5000 b.img >/dev/null
pair between-files.bin a.img b.img
"$mkmedia" generate c.img --files 2 --folders 1 --file-size 9000 --split-at 6000 d.img >/dev/null
pair inside-a-file.bin c.img d.img
"$mkmedia" generate e.img --files 2 --folders 1 --file-size 9000 --compress --split-at 6000 f.img >/dev/null
pair inside-a-compressed-file.bin e.img f.img
