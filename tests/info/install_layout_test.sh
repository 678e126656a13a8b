#!/bin/sh
# Installs a build into a temporary prefix and checks that each file is where a Linux desktop and
# a Linux user look for it. Usage: install_layout_test.sh CMAKE BUILD_DIR
set -eu

cmake=$1
build=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

"$cmake" --install "$build" --prefix "$prefix" >/dev/null

failed=0
fail() {
    echo "FAIL: $*" >&2
    failed=1
}

for program in versalo versalo-cli; do
    [ -x "$prefix/bin/$program" ] || fail "bin/$program is missing or not executable"
done

help="$prefix/share/versalo/hilfe.htm"
[ -f "$help" ] || fail "share/versalo/hilfe.htm is missing"
[ -f "$help" ] && ! grep -q '<meta charset="utf-8">' "$help" && fail "hilfe.htm is not the help page"

for size in 16 32 48 64 128 256; do
    icon="$prefix/share/icons/hicolor/${size}x${size}/apps/versalo.png"
    if [ -f "$icon" ]; then
        # A PNG keeps its width and height in the IHDR chunk, bytes 17 to 24, big-endian.
        dimensions=$(od -An --endian=big -tu4 -j16 -N8 "$icon" | tr -s ' ' ' ' | sed 's/^ //; s/ $//')
        [ "$dimensions" = "$size $size" ] || fail "icon ${size}x${size} is $dimensions"
    else
        fail "share/icons/hicolor/${size}x${size}/apps/versalo.png is missing"
    fi
done

grep -q '<svg' "$prefix/share/icons/hicolor/scalable/apps/versalo.svg" 2>/dev/null ||
    fail "share/icons/hicolor/scalable/apps/versalo.svg is missing"

metainfo=$(ls "$prefix"/share/metainfo/*.metainfo.xml 2>/dev/null | head -n 1)
if [ -n "$metainfo" ]; then
    grep -qF '<launchable type="desktop-id">versalo.desktop</launchable>' "$metainfo" ||
        fail "the metainfo file does not launch versalo.desktop"
else
    fail "share/metainfo/*.metainfo.xml is missing"
fi

desktop="$prefix/share/applications/versalo.desktop"
if [ -f "$desktop" ]; then
    for line in 'Type=Application' 'Name=Versalo' 'Exec=versalo %F' 'Icon=versalo' 'Categories=Utility;FileTools;'; do
        grep -qxF "$line" "$desktop" || fail "versalo.desktop lacks '$line'"
    done
    grep -q '^Comment=.*Groß- und Kleinschreibung' "$desktop" || fail "versalo.desktop has no German comment"
else
    fail "share/applications/versalo.desktop is missing"
fi

# German manual pages with German section names and a date.
for page in versalo versalo-cli; do
    man="$prefix/share/man/de/man1/$page.1.gz"
    if [ -f "$man" ]; then
        title=$(printf '%s' "$page" | tr 'a-z' 'A-Z')
        gzip -dc "$man" | grep -q "^\.TH $title 1 \"[0-9]\{4\}-[0-9][0-9]-[0-9][0-9]\" \"Versalo 2\.6\.5\"" ||
            fail "the manual page of $page has no proper heading"
        for section in BEZEICHNUNG ÜBERSICHT BESCHREIBUNG OPTIONEN; do
            gzip -dc "$man" | grep -qx "\.SH $section" || fail "the manual page of $page has no section $section"
        done
    else
        fail "share/man/de/man1/$page.1.gz is missing"
    fi
done
# The manual pages describe every option their program's --help lists; the help page describes
# every option of the command line. The window program answers --help without a display.
for program in versalo-cli versalo; do
    man="$prefix/share/man/de/man1/$program.1.gz"
    [ -x "$prefix/bin/$program" ] && [ -f "$man" ] || continue
    options=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/$program" --help |
        sed -n 's/^ *\(-[A-Za-z]\), \(--[a-z-]*\).*/\1 \2/p')
    [ -n "$options" ] || fail "$program --help lists no options"
    roff=$(gzip -dc "$man")
    for option in $options; do
        if [ "$program" = versalo-cli ] && [ -f "$help" ]; then
            grep -qF "<code>$option</code>" "$help" || fail "hilfe.htm does not describe $option"
        fi
        escaped=$(printf '%s' "$option" | sed 's/-/\\\\-/g')
        printf '%s\n' "$roff" | grep -qE -- "(^| )$escaped( |\$)" || fail "the manual page of $program does not describe $option"
    done
done

exit $failed
