#!/usr/bin/env bash
# Builds the README's Release configuration in BUILD_DIR (default build-release), installs it
# into a temporary prefix, builds the Debian package and checks the results: lintian (any error
# or warning fails), desktop-file-validate and appstreamcli validate. Prints the package's path.
# Usage: scripts/check-package.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-release}

# The Installation section's configuration; warnings stay warnings there, as for a user.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DVERSALO_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --parallel "$(nproc)"

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
DESTDIR="$prefix" cmake --install "$build" >/dev/null

failed=0
echo "-- desktop-file-validate"
desktop-file-validate "$prefix/usr/share/applications/versalo.desktop" || failed=1
echo "-- appstreamcli validate"
# --no-net: the screenshot lies on the maker's web host, which a build machine need not reach.
appstreamcli validate --no-net "$prefix"/usr/share/metainfo/*.metainfo.xml || failed=1

(cd "$build" && rm -f ./*.deb && cpack -G DEB >/dev/null)
deb=$(ls "$build"/*.deb)
echo "-- lintian $deb"
# Debian 12's lintian with its default profile; --fail-on makes warnings fail as well.
lintian --fail-on error,warning "$deb" || failed=1
if [ $failed -ne 0 ]; then
    echo "The package checks failed." >&2
    exit 1
fi
echo "Package checked: $deb"
