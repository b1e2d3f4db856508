#!/usr/bin/env bash
# The libFuzzer target of the EXIF parser, in a clang build of its own
# (build-fuzz/; the main build uses GCC).
#   scripts/fuzz.sh --replay       runs every file of the stored corpus once
#   scripts/fuzz.sh --minutes N    fuzzes for N minutes from the stored corpus;
#                                  new inputs go to build-fuzz/corpus, crashes
#                                  to build-fuzz/artifacts/
#   scripts/fuzz.sh --merge        adds what --minutes found to the stored
#                                  corpus, keeping only inputs that add coverage
#   scripts/fuzz.sh --seed         rewrites the seed files of the stored corpus
#                                  from the test fixtures (needs scripts/build.sh)
set -euo pipefail
cd "$(dirname "$0")/.."

stored=tests/data/fuzz/exif
dir=build-fuzz

build() {
  scripts/setup.sh --fuzz >/dev/null
  local san="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fsanitize=fuzzer-no-link -fno-omit-frame-pointer"
  CC=clang CXX=clang++ cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMIROFOTO_TESTS=OFF \
    -DMIROFOTO_FUZZ=ON -DCMAKE_C_FLAGS="$san" -DCMAKE_CXX_FLAGS="$san" >/dev/null
  cmake --build "$dir" --target exif_fuzzer -j "$(nproc 2>/dev/null || echo 2)" >/dev/null
}

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
fuzzer="$dir/bin/exif_fuzzer"
opts=(-max_len=131072 -rss_limit_mb=2048 -timeout=20)

case "${1:-}" in
  --replay)
    build
    # -runs=0 executes each corpus file once and stops.
    "$fuzzer" "${opts[@]}" -runs=0 "$stored"
    echo "fuzz replay: $(ls "$stored" | wc -l) files, no finding"
    ;;
  --minutes)
    minutes=${2:?usage: scripts/fuzz.sh --minutes N}
    build
    mkdir -p "$dir/corpus" "$dir/artifacts"
    "$fuzzer" "${opts[@]}" -max_total_time=$((minutes * 60)) -print_final_stats=1 \
      -artifact_prefix="$dir/artifacts/" "$dir/corpus" "$stored"
    ;;
  --merge)
    build
    "$fuzzer" "${opts[@]}" -merge=1 "$stored" "$dir/corpus"
    ;;
  --seed)
    gen=$(find build -name exif_seed_gen -type f | head -n 1)
    [ -n "$gen" ] || { echo "build first: scripts/build.sh" >&2; exit 1; }
    "$gen" "$stored"
    ;;
  *)
    sed -n '2,13p' "$0" >&2
    exit 2
    ;;
esac
