#!/usr/bin/env bash
# Builds the project and runs the whole test suite headless.
#   ./test.sh          quick everyday run: the normal build and all of its tests
#   ./test.sh --full   also the sanitizer builds (ThreadSanitizer for the code with no Qt in it,
#                      AddressSanitizer + UndefinedBehaviorSanitizer for everything); CI always
#                      runs this way, since it sets the CI variable.
set -euo pipefail
cd "$(dirname "$0")"

full=0
[ -n "${CI:-}" ] && full=1
for arg in "$@"; do
    case "$arg" in
        --full) full=1 ;;
        *) echo "usage: ./test.sh [--full]" >&2; exit 2 ;;
    esac
done

scripts/install-deps.sh

export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

# build_and_test DIR [cmake options...]: configures, builds and runs every test in DIR.
build_and_test() {
    local dir=$1
    shift
    echo "=== $dir"
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$dir" -j "$jobs"
    ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 300
}

build_and_test build

if [ "$full" -eq 1 ]; then
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
        build_and_test build-tsan -DFOURFALL_SANITIZE=thread -DFOURFALL_WITH_QT=OFF
    ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" \
    LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0" \
    UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
        build_and_test build-asan -DFOURFALL_SANITIZE=address,undefined
fi
