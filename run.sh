#!/usr/bin/env bash
# Builds the moderator (installing the Debian packages it needs when they are missing) and opens its
# window. The moderator writes its move log, log.txt, into the directory it runs in: this one.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target fourfall-moderator fourfall-random-bot fourfall-strong-bot
exec build/app/fourfall-moderator "$@"
