#!/bin/sh
# Installs a build into a temporary root and checks it as a Linux desktop and a Linux user meet it:
# the desktop and metainfo files validate (the metainfo's launchable found in the tree), the
# desktop file's command starts the installed window program, which renames the file it is given;
# every icon has its size; the manual pages render without a warning and describe every option
# --help lists, and the help page the command line's.
# Usage: install_layout_test.sh CMAKE BUILD_DIR
set -u
root=$(mktemp -d)
trap 'kill $! 2>/dev/null; rm -rf "$root"' EXIT
"$1" --install "$2" --prefix "$root/usr" >/dev/null || exit 1
failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }
share=$root/usr/share
help=$share/versalo/hilfe.htm
desktop-file-validate "$share/applications/versalo.desktop" >&2 || fail "versalo.desktop does not validate"
appstreamcli validate-tree --no-net "$root" >/dev/null || fail "the metainfo does not validate in the tree"
mkdir -p "$root/files" "$root/config" && touch "$root/files/Brief AN Oma.TXT"
command=$(sed -n 's/^Exec=//p' "$share/applications/versalo.desktop")
XDG_CONFIG_HOME="$root/config" PATH="$root/usr/bin:$PATH" ${command%%%F*} "$root/files/Brief AN Oma.TXT" >/dev/null 2>&1 &
for _ in $(seq 100); do [ -e "$root/files/brief an oma.txt" ] && break; sleep 0.1; done
[ -e "$root/files/brief an oma.txt" ] || fail "Exec=$command did not rename the file it was given"
for size in 16 32 48 64 128 256; do
    # A PNG keeps its width and height in the IHDR chunk, bytes 17 to 24, big-endian.
    icon=$share/icons/hicolor/${size}x$size/apps/versalo.png
    [ "$(od -An --endian=big -tu4 -j16 -N8 "$icon" | xargs)" = "$size $size" ] || fail "icon ${size}x$size"
done
# German manual pages that describe every option --help lists (the window program answers --help
# without a display); the help page describes the command line's.
for program in versalo versalo-cli; do
    [ -x "$root/usr/bin/$program" ] || fail "bin/$program is missing"
    roff=$(gzip -dc "$share/man/de/man1/$program.1.gz") || fail "no manual page of $program"
    warnings=$(printf '%s\n' "$roff" | groff -k -man -Tutf8 -ww -z 2>&1)
    [ -z "$warnings" ] || fail "$program.1: $warnings"
    options=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/$program" --help |
        sed -n 's/^ *\(-[A-Za-z]\), \(--[a-z-]*\).*/\1 \2/p')
    [ -n "$options" ] || fail "$program --help lists no options"
    for option in $options; do
        escaped=$(printf '%s' "$option" | sed 's/-/\\\\-/g')
        printf '%s\n' "$roff" | grep -qE -- "(^| )$escaped( |\$)" || fail "$program.1 does not describe $option"
        [ $program = versalo ] || grep -qF "<code>$option</code>" "$help" || fail "hilfe.htm lacks $option"
    done
done
exit $failed
