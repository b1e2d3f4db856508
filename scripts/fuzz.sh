#!/usr/bin/env bash
# The libFuzzer targets (EXIF parser, INI engine, JPEG segment walk), in a
# clang build of their own (build-fuzz/; the main build uses GCC).
#   scripts/fuzz.sh --replay       runs every file of each stored corpus once
#   scripts/fuzz.sh --minutes N    fuzzes each target for N minutes from its
#                                  stored corpus; new inputs go to
#                                  build-fuzz/corpus/<target>, crashes to
#                                  build-fuzz/artifacts/<target>/
#   scripts/fuzz.sh --merge        adds what --minutes found to the stored
#                                  corpora, keeping only inputs that add coverage
#   scripts/fuzz.sh --seed         rewrites the seed files of the stored corpora
#                                  from the test fixtures (needs scripts/build.sh)
# FUZZ_TARGETS="ini jpeg_segments" limits any of them to some targets.
set -euo pipefail
cd "$(dirname "$0")/.."

dir=build-fuzz
# Target name, its stored corpus under tests/data/fuzz/<name>, its seed writer.
declare -A seeder=([exif]=exif_seed_gen [ini]=ini_seed_gen [jpeg_segments]=jpeg_segments_seed_gen)
targets=(${FUZZ_TARGETS:-exif ini jpeg_segments})

build() {
  scripts/setup.sh --fuzz >/dev/null
  local san="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fsanitize=fuzzer-no-link -fno-omit-frame-pointer"
  CC=clang CXX=clang++ cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMIROFOTO_TESTS=OFF \
    -DMIROFOTO_FUZZ=ON -DCMAKE_C_FLAGS="$san" -DCMAKE_CXX_FLAGS="$san" >/dev/null
  local t list=()
  for t in "${targets[@]}"; do list+=("${t}_fuzzer"); done
  cmake --build "$dir" --target "${list[@]}" -j "$(nproc 2>/dev/null || echo 2)" >/dev/null
}

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
opts=(-max_len=131072 -rss_limit_mb=2048 -timeout=20)

case "${1:-}" in
  --replay)
    build
    for t in "${targets[@]}"; do
      stored=tests/data/fuzz/$t
      # -runs=0 executes each corpus file once and stops.
      "$dir/bin/${t}_fuzzer" "${opts[@]}" -runs=0 "$stored"
      echo "fuzz replay: $(ls "$stored" | wc -l) files, no finding ($t)"
    done
    ;;
  --minutes)
    minutes=${2:?usage: scripts/fuzz.sh --minutes N}
    build
    for t in "${targets[@]}"; do
      mkdir -p "$dir/corpus/$t" "$dir/artifacts/$t"
      "$dir/bin/${t}_fuzzer" "${opts[@]}" -max_total_time=$((minutes * 60)) -print_final_stats=1 \
        -artifact_prefix="$dir/artifacts/$t/" "$dir/corpus/$t" "tests/data/fuzz/$t"
    done
    ;;
  --merge)
    build
    for t in "${targets[@]}"; do
      mkdir -p "$dir/corpus/$t"
      "$dir/bin/${t}_fuzzer" "${opts[@]}" -merge=1 "tests/data/fuzz/$t" "$dir/corpus/$t"
    done
    ;;
  --seed)
    for t in "${targets[@]}"; do
      gen=$(find build -name "${seeder[$t]}" -type f | head -n 1)
      [ -n "$gen" ] || { echo "build first: scripts/build.sh" >&2; exit 1; }
      "$gen" "tests/data/fuzz/$t"
    done
    ;;
  *)
    sed -n '2,15p' "$0" >&2
    exit 2
    ;;
esac
