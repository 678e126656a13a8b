#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing Versalo need.
# Safe to run again: packages that are present are left alone, and apt is only asked when
# something is missing. Uses sudo when not run as root.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    libicu-dev
    nlohmann-json3-dev
    googletest libgtest-dev
    qt6-base-dev qt6-base-dev-tools libgl-dev
    fonts-liberation
    xvfb xauth
    clang libclang-rt-14-dev
    exfatprogs exfat-fuse fuse
    util-linux
    python3
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
echo "Installiere fehlende Pakete: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
