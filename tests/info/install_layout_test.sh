#!/bin/sh
# Installs a build into a temporary prefix and checks that each file is where a Linux desktop and
# a Linux user look for it, and that the manual pages and the help page describe every option.
# Usage: install_layout_test.sh CMAKE BUILD_DIR
set -u
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
"$1" --install "$2" --prefix "$prefix" >/dev/null || exit 1
failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }
share=$prefix/share
help=$share/versalo/hilfe.htm
grep -q '<meta charset="utf-8">' "$help" || fail "share/versalo/hilfe.htm is not the help page"
for size in 16 32 48 64 128 256; do
    # A PNG keeps its width and height in the IHDR chunk, bytes 17 to 24, big-endian.
    icon=$share/icons/hicolor/${size}x$size/apps/versalo.png
    [ "$(od -An --endian=big -tu4 -j16 -N8 "$icon" | xargs)" = "$size $size" ] || fail "icon ${size}x$size"
done
grep -qF '>versalo.desktop</launchable>' "$share"/metainfo/*.metainfo.xml || fail "no metainfo for versalo.desktop"
grep -qxF 'Exec=versalo %F' "$share/applications/versalo.desktop" || fail "versalo.desktop does not start versalo"
# German manual pages that describe every option --help lists (the window program answers --help
# without a display); the help page describes the command line's.
for program in versalo versalo-cli; do
    [ -x "$prefix/bin/$program" ] || fail "bin/$program is missing"
    roff=$(gzip -dc "$share/man/de/man1/$program.1.gz") || fail "no manual page of $program"
    printf '%s\n' "$roff" | grep -qx '\.SH OPTIONEN' || fail "$program.1 has no section OPTIONEN"
    options=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/$program" --help |
        sed -n 's/^ *\(-[A-Za-z]\), \(--[a-z-]*\).*/\1 \2/p')
    [ -n "$options" ] || fail "$program --help lists no options"
    for option in $options; do
        escaped=$(printf '%s' "$option" | sed 's/-/\\\\-/g')
        printf '%s\n' "$roff" | grep -qE -- "(^| )$escaped( |\$)" || fail "$program.1 does not describe $option"
        [ $program = versalo ] || grep -qF "<code>$option</code>" "$help" || fail "hilfe.htm lacks $option"
    done
done
exit $failed
