#!/usr/bin/env bash
# Installs what the project needs, builds it and runs every test with CTest.
#   scripts/test.sh              the release build
#   scripts/test.sh --sanitize   the same tests under AddressSanitizer + UBSan
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh --tests
dir=$(scripts/build.sh "$@" | tail -n 1)

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tests/lsan.supp}
jobs=$(nproc 2>/dev/null || echo 2)
ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 600
