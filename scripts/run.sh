#!/usr/bin/env bash
# Builds Versalo (installing the Debian packages it needs) and starts the window program.
# Arguments are handed to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --parallel
if [ -x build/ui/main_window/versalo ]; then
    exec build/ui/main_window/versalo "$@"
fi
exec build/cli/versalo-cli --help
