#!/usr/bin/env bash
# Installs the Debian 12 packages Versalo needs, and only those that are missing.
#
#   scripts/install-deps.sh          what building and running the two programs needs
#   scripts/install-deps.sh --test   that, and what the tests, sanitizers, fuzzers and package
#                                    checks need on top
#
# It never removes a package: apt-get runs with --no-remove, so a package that would conflict
# with one already installed (as "fuse" does with "fuse3") stops the installation with a message
# instead of taking the other package and everything that needs it away. Safe to run again;
# apt is only asked when something is missing. Uses sudo when not run as root.
#
# VERSALO_APT_SIMULATE=1 asks apt what it would do (apt-get -s) and changes nothing.
set -euo pipefail

run_set=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
    libicu-dev nlohmann-json3-dev
    # The window's layout is measured for Arial; Liberation Sans has the same metrics.
    fonts-liberation
    # cpack needs it to find the programs when it builds the Debian package.
    file
)
# exfat-fuse and bindfs work with either FUSE package, "fuse" or "fuse3", which conflict with each
# other: whichever is installed stays, and fuse3 is added only where neither is (see below).
test_set=(
    googletest libgtest-dev
    clang libclang-rt-14-dev
    xvfb xauth
    exfatprogs exfat-fuse bindfs
    lintian appstream desktop-file-utils dpkg-dev
    # The fault suite stops the command line at chosen system calls with strace.
    strace
    python3
    # The menus test reads and starts the file managers' menu files with GLib and GIO and loads
    # the Nautilus extension with nautilus-python.
    python3-gi gir1.2-glib-2.0 python3-nautilus
)

case "${1:-}" in
    "") wanted=("${run_set[@]}") ;;
    --test) wanted=("${run_set[@]}" "${test_set[@]}") ;;
    *)
        echo "Aufruf: $0 [--test]" >&2
        exit 2
        ;;
esac

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

missing=()
for package in "${wanted[@]}"; do
    if ! installed "$package"; then
        missing+=("$package")
    fi
done
if [ "${1:-}" = "--test" ] && ! installed fuse && ! installed fuse3; then
    missing+=(fuse3)
fi
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
        echo "Es fehlen Pakete (${missing[*]}), und ohne root-Rechte und ohne sudo lassen sie sich nicht installieren." >&2
        echo "Missing packages (${missing[*]}); run this script as root or install sudo." >&2
        exit 1
    fi
    sudo=(sudo)
fi
simulate=()
if [ "${VERSALO_APT_SIMULATE:-0}" = "1" ]; then
    simulate=(-s)
fi

echo "Installiere fehlende Pakete: ${missing[*]}"
if [ ${#simulate[@]} -eq 0 ]; then
    "${sudo[@]}" apt-get update -qq
fi
status=0
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install "${simulate[@]}" -y -q --no-install-recommends --no-remove "${missing[@]}" || status=$?
if [ $status -ne 0 ]; then
    echo >&2
    echo "Die Pakete wurden nicht installiert: apt hätte dafür andere Pakete entfernen müssen oder" >&2
    echo "meldet einen Fehler (siehe oben). Es wurde nichts entfernt. Bitte die genannten Konflikte" >&2
    echo "selbst lösen und das Skript erneut aufrufen." >&2
    echo "The packages were not installed: apt would have had to remove other packages, or reported" >&2
    echo "an error (see above). Nothing was removed. Resolve the conflicts named above and run this" >&2
    echo "script again." >&2
    exit 1
fi
