#!/usr/bin/env bash
# Builds and runs the settings store benchmark against the release build.
#   bench/ini_bench.sh [program folder for the run]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$(scripts/build.sh | tail -n 1)
g++ -std=c++20 -O2 -I. bench/ini_bench.cpp "$dir"/app/libmirofoto_core.a "$dir"/platform/libplatform.a \
  -o "$dir/bin/ini_bench"
"$dir/bin/ini_bench" "$@"
