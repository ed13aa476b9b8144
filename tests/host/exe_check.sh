#!/usr/bin/env bash
# exe_check.sh EXE FORMAT (pei-i386 or pei-x86-64): a built clock, read by
# binutils' objdump, has that machine, is a GUI program, imports only system
# DLLs and holds every resource it loads in US English.
set -u
exe=$1 format=$2
dump=$(x86_64-w64-mingw32-objdump -p "$exe") || exit 1
status=0
fail() { echo "$exe: $*"; status=1; }

grep -q "file format $format\$" <<<"$dump" || fail "not $format"
grep -q '^Subsystem.*(Windows GUI)' <<<"$dump" || fail "not a GUI program"
dlls=$(sed -n 's/^\tDLL Name: //p' <<<"$dump" | tr 'A-Z' 'a-z' | sort | tr '\n' ' ')
[ "$dlls" = "gdi32.dll kernel32.dll msvcrt.dll shell32.dll user32.dll " ] || fail "imports $dlls"

# The resource directory as "type id language size" lines, in hexadecimal;
# its three levels are told apart by their indentation.
resources=$(awk '/Entry: ID:|Leaf:/ {
        depth = match($0, /[EL]/); value = $4; sub(/,$/, "", value)
        if (depth == 7) type = value; else if (depth == 9) id = value; else if (depth == 11) language = value
        else { sub(/,$/, "", $6); print type, id, language, $6 } }' <<<"$dump")
# Bitmaps without their file header: 40-byte header, colour table, pixels;
# the icon's 32, 16, 20, 24, 40 and 48 pixel images in 16 colours with their masks.
for expected in "0x000002 0x000065 0x000409 0x038428" "0x000002 0x000066 0x000409 0x004428" \
                "0x000002 0x000067 0x000409 0x004428" "0x00000e 0x000068 0x000409" \
                "0x000003 0x000001 0x000409 0x0002e8" "0x000003 0x000002 0x000409 0x000128" \
                "0x000003 0x000003 0x000409 0x0001a8" "0x000003 0x000004 0x000409 0x0001e8" \
                "0x000003 0x000005 0x000409 0x0004c8" "0x000003 0x000006 0x000409 0x000668" \
                "0x000004 0x000069 0x000409" "0x000010 0x000001 0x000409" "0x000018 0x000001 0x000409"; do
    grep -q "^$expected" <<<"$resources" || fail "no resource $expected (type id language size)"
done
exit $status
