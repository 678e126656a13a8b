#!/bin/sh
# Builds the Debian package from a build, unpacks it into a temporary root (as dpkg would install
# it) and runs the programs from there: both answer --version with the same line and --help
# without a display, and the window program renames the paths it is started with, as a drop, with
# the case rule from the settings. Usage: package_test.sh CPACK BUILD_DIR
set -eu

cpack=$1
build=$2
work=$(mktemp -d)
pid=
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

failed=0
fail() {
    echo "FAIL: $*" >&2
    failed=1
}

"$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >/dev/null
deb=$(ls "$work"/out/*.deb)
dpkg-deb -f "$deb" Depends | grep -q 'fonts-liberation' || fail "the package does not depend on fonts-liberation"
root="$work/root"
dpkg -x "$deb" "$root"

# No display of any kind: --help and --version must not need one.
headless() {
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@"
}
cli_version=$(headless "$root/usr/bin/versalo-cli" --version) || fail "versalo-cli --version failed"
window_version=$(headless "$root/usr/bin/versalo" --version) || fail "versalo --version failed"
echo "versalo-cli --version: $cli_version"
echo "versalo --version: $window_version"
expr "$cli_version" : 'Versalo [0-9]*\.[0-9]*\.[0-9]*$' >/dev/null || fail "versalo-cli prints '$cli_version'"
[ "$window_version" = "$cli_version" ] || fail "versalo prints '$window_version', versalo-cli '$cli_version'"
headless "$root/usr/bin/versalo" --help | grep -q '^Aufruf: versalo ' || fail "versalo --help prints no German help"
status=0
QT_QPA_PLATFORM=offscreen "$root/usr/bin/versalo" --unbekannt 2>/dev/null || status=$?
[ $status -eq 2 ] || fail "versalo --unbekannt ends with $status, not 2"

# "Öffnen mit Versalo": the paths are one drop, under the case rule the settings hold (upper).
mkdir -p "$work/home" "$work/config" "$work/files/Fotos"
printf '[Versalo]\nCaseType=0\nFloating=0\nMethode=1\n' >"$work/config/Quistel's Kistwerk.ini"
: >"$work/files/Brief an Oma.txt"
: >"$work/files/Fotos/urlaub.jpg"
: >"$work/files/bleibt.txt"
HOME="$work/home" XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=offscreen \
    "$root/usr/bin/versalo" "$work/files/Brief an Oma.txt" "$work/files/Fotos" >/dev/null 2>&1 &
pid=$!
round=0
while [ $round -lt 300 ] && ! [ -e "$work/files/FOTOS/URLAUB.JPG" ]; do
    sleep 0.1
    round=$((round + 1))
done
[ -e "$work/files/BRIEF AN OMA.TXT" ] || fail "versalo FILE did not rename the file"
[ -e "$work/files/FOTOS/URLAUB.JPG" ] || fail "versalo FOLDER did not rename the folder and its contents"
[ -e "$work/files/bleibt.txt" ] || fail "versalo renamed a file it was not given"

exit $failed
