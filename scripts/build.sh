#!/usr/bin/env bash
# Configures and builds the project.
#   scripts/build.sh              release build into build/, with the tests
#   scripts/build.sh --sanitize   AddressSanitizer + UBSan build into build-asan/
#   scripts/build.sh --no-tests   without the tests (what scripts/setup.sh
#                                 installs without --tests suffices)
set -euo pipefail
cd "$(dirname "$0")/.."

dir=build
flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
tests=ON
for arg in "$@"; do
  case "$arg" in
    --sanitize) dir=build-asan; flags=(-DCMAKE_BUILD_TYPE=Debug -DMIROFOTO_SANITIZE=ON) ;;
    --no-tests) tests=OFF ;;
    *) sed -n '2,6p' "$0" >&2; exit 2 ;;
  esac
done

jobs=$(nproc 2>/dev/null || echo 2)
# The build's own output goes to standard error, so that callers can take
# the build folder from standard output and still see every compiler message.
cmake -S . -B "$dir" "${flags[@]}" -DMIROFOTO_TESTS=$tests >&2
cmake --build "$dir" -j "$jobs" >&2
echo "$dir"
