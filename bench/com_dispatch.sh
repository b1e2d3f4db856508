#!/usr/bin/env bash
# Measures object creation and late-bound calls of the COM runtime.
#   bench/com_dispatch.sh        (after scripts/build.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
out=bench/out
mkdir -p "$out"
g++ -std=c++20 -O2 -I. bench/com_dispatch.cpp \
  build/platform/com/libplatform_com.a build/platform/libplatform.a -ldl \
  -o "$out/com_dispatch"
"$out/com_dispatch" build/bin/libcom_test_module.so
