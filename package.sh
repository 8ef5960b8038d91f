#!/usr/bin/env bash
# Builds the Debian package: installs what the build needs, builds into build/ and runs CPack
# there. The package lands in build/: install it with  sudo apt install ./build/fourfall_*.deb
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"
(cd build && cpack -G DEB)
ls build/fourfall_*.deb
