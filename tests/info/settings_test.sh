#!/bin/sh
# The window program started with a file to rename and its settings at and one past each end of
# their ranges: a value out of range gives the default (klein, both boxes set), which is stored at
# once; a value at an end is used and kept.
# Usage: settings_test.sh VERSALO
set -u
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
# CaseType,Floating,Methode as stored before; what "Ab.Txt" becomes; the three stored after.
while read -r before name after; do
    rm -rf "$work/files" "$work/config" && mkdir -p "$work/files" "$work/config" && touch "$work/files/Ab.Txt"
    echo "$before" | sed 's/\(.*\),\(.*\),\(.*\)/[Versalo]\nCaseType=\1\nFloating=\2\nMethode=\3/' \
        >"$work/config/Quistel's Kistwerk.ini"
    XDG_CONFIG_HOME="$work/config" "$1" "$work/files/Ab.Txt" >/dev/null 2>&1 &
    for _ in $(seq 100); do [ -e "$work/files/$name" ] && break; sleep 0.1; done
    kill $! && wait $! 2>/dev/null
    got="$(ls "$work/files") $(sed -n 's/^\(CaseType\|Floating\|Methode\)=//p' "$work/config/Quistel's Kistwerk.ini" | paste -sd,)"
    [ "$got" = "$name $after" ] || { echo "FAIL: $before gives $got, not $name $after" >&2; failed=1; }
done <<ROWS
-1,-1,-1 ab.txt 1,1,1
3,3,3 ab.txt 1,1,1
0,0,0 AB.TXT 0,0,0
2,2,2 Ab.txt 2,2,2
ROWS
exit $failed
