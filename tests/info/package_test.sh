#!/bin/sh
# Builds the Debian package, unpacks it as dpkg would install it and runs the programs from there:
# every library they load directly comes with a dependency of the package; the same --version
# line without a display, and the window program renaming the paths it is started with as one
# drop, under the case rule of its settings.
# Usage: package_test.sh CPACK BUILD_DIR
set -u
work=$(mktemp -d)
trap 'kill $! 2>/dev/null; rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }
"$1" --config "$2/CPackConfig.cmake" -G DEB -B "$work/out" >/dev/null || exit 1
dpkg -x "$work"/out/*.deb "$work/root"
bin=$work/root/usr/bin
# Every library the programs load directly comes with a package the .deb depends on.
depends=", $(dpkg-deb -f "$work"/out/*.deb Depends),"
for lib in $(objdump -p "$bin/versalo" "$bin/versalo-cli" | sed -n 's/^ *NEEDED *//p' | sort -u); do
    path=$(ldd "$bin/versalo" "$bin/versalo-cli" | sed -n "s|^.$lib => \([^ ]*\) .*|\1|p" | head -n 1)
    package=$(dpkg -S "$path" "$(readlink -f "$path")" 2>/dev/null | sed -n '1s/[:,].*//p')
    [ -n "$package" ] && printf '%s' "$depends" | grep -qF -e ", $package " -e ", $package," || fail "$lib comes with '$package', not a dependency"
done
headless() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@"; }
version=$(headless "$bin/versalo-cli" --version)
expr "$version" : 'Versalo [0-9]*\.[0-9]*\.[0-9]*$' >/dev/null || fail "versalo-cli --version: '$version'"
[ "$(headless "$bin/versalo" --version)" = "$version" ] || fail "the two programs differ in --version"
mkdir -p "$work/home" "$work/config" "$work/files/Fotos"
printf '[Versalo]\nCaseType=0\nFloating=0\nMethode=1\n' >"$work/config/Quistel's Kistwerk.ini"
touch "$work/files/Brief an Oma.txt" "$work/files/Fotos/urlaub.jpg" "$work/files/bleibt.txt"
HOME="$work/home" XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=offscreen \
    "$bin/versalo" "$work/files/Brief an Oma.txt" "$work/files/Fotos" >/dev/null 2>&1 &
for _ in $(seq 300); do [ -e "$work/files/FOTOS/URLAUB.JPG" ] && break; sleep 0.1; done
[ -e "$work/files/BRIEF AN OMA.TXT" ] || fail "versalo FILE did not rename the file"
[ -e "$work/files/FOTOS/URLAUB.JPG" ] || fail "versalo FOLDER did not rename the folder and its contents"
[ -e "$work/files/bleibt.txt" ] || fail "versalo renamed a file it was not given"
exit $failed
