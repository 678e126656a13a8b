#!/usr/bin/env bash
# Builds the two programs (no tests) in build-run/, installing the Debian packages that needs,
# and starts the window program. Arguments are handed to the program: files and folders named
# there are renamed as if they had been dropped on the window.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build-run -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVERSALO_BUILD_TESTS=OFF >/dev/null
cmake --build build-run --parallel "$(nproc)"
exec build-run/ui/main_window/versalo "$@"
