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

for size in 16 32; do
    icon="$prefix/share/icons/hicolor/${size}x${size}/apps/versalo.png"
    if [ -f "$icon" ]; then
        # A PNG keeps its width and height in the IHDR chunk, bytes 17 to 24.
        dimensions=$(od -An -tu1 -j16 -N8 "$icon" | tr -s ' ' ' ' | sed 's/^ //; s/ $//')
        [ "$dimensions" = "0 0 0 $size 0 0 0 $size" ] || fail "icon ${size}x${size} is $dimensions"
    else
        fail "share/icons/hicolor/${size}x${size}/apps/versalo.png is missing"
    fi
done

desktop="$prefix/share/applications/versalo.desktop"
if [ -f "$desktop" ]; then
    for line in 'Type=Application' 'Name=Versalo' 'Exec=versalo' 'Icon=versalo' 'Categories=Utility;FileTools;'; do
        grep -qxF "$line" "$desktop" || fail "versalo.desktop lacks '$line'"
    done
    grep -q '^Comment=.*Groß- und Kleinschreibung' "$desktop" || fail "versalo.desktop has no German comment"
else
    fail "share/applications/versalo.desktop is missing"
fi

man="$prefix/share/man/man1/versalo-cli.1.gz"
if [ -f "$man" ]; then
    gzip -dc "$man" | grep -q '^\.TH VERSALO-CLI 1 .*Versalo 2\.6\.5' || fail "the manual page has no proper heading"
else
    fail "share/man/man1/versalo-cli.1.gz is missing"
fi

# The help page and the manual page describe every option the installed command line offers.
if [ -x "$prefix/bin/versalo-cli" ] && [ -f "$man" ] && [ -f "$help" ]; then
    options=$("$prefix/bin/versalo-cli" --help | sed -n 's/^ *\(-[A-Za-z]\), \(--[a-z-]*\).*/\1 \2/p')
    [ -n "$options" ] || fail "versalo-cli --help lists no options"
    roff=$(gzip -dc "$man")
    for option in $options; do
        grep -qF "<code>$option</code>" "$help" || fail "hilfe.htm does not describe $option"
        escaped=$(printf '%s' "$option" | sed 's/-/\\\\-/g')
        printf '%s\n' "$roff" | grep -qE -- "(^| )$escaped( |\$)" || fail "the manual page does not describe $option"
    done
fi

exit $failed
