#!/usr/bin/env bash
# Configures and builds the project.
#   scripts/build.sh              release build into build/
#   scripts/build.sh --sanitize   AddressSanitizer + UBSan build into build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."

dir=build
flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [ "${1:-}" = "--sanitize" ]; then
  dir=build-asan
  flags=(-DCMAKE_BUILD_TYPE=Debug -DMIROFOTO_SANITIZE=ON)
fi

jobs=$(nproc 2>/dev/null || echo 2)
# The build's own output goes to standard error, so that callers can take
# the build folder from standard output and still see every compiler message.
cmake -S . -B "$dir" "${flags[@]}" >&2
cmake --build "$dir" -j "$jobs" >&2
echo "$dir"
