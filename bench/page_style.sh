#!/usr/bin/env bash
# Times the HTML5 page style against the classic pages on the benchmark
# photographs: the same 2 x 20 photographs of 4000 x 3000 as
# bench/album_run.sh, the same defaults, threads = cores, a fresh program
# folder and an empty output folder each time. The two styles take turns in
# every round (their order swapped from round to round), so that other work
# on a shared machine falls on both alike; the best round of each counts.
# The HTML5 style writes each copy twice more (at twice its box, from a
# decode of its own); the target is at most 1.6 times the classic time.
#
#   bench/page_style.sh [ROUNDS]     (default 3)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --bench >/dev/null

rounds=${1:-3}
out=bench/out/page-style
photos=bench/out/album-run-photos-2-20-n24

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target mirofoto imgctl album_run_photos >/dev/null
mirofoto=$PWD/build/bin/mirofoto

. bench/photos.sh
bench_photos "$photos" 2 20 24
echo "$(find "$photos" -name '*.JPG' | wc -l) photographs of 4000 x 3000; $(nproc) cores;" \
  "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"

now() { date +%s.%N; }
declare -A best
run() {
  local style=$1
  rm -rf "$out/$style" "$out/home-$style"
  mkdir -p "$out/$style" "$out/home-$style"
  local start
  start=$(now)
  MIROFOTO_HOME="$PWD/$out/home-$style" "$mirofoto" generate --image-folder "$PWD/$photos" \
    --output "$PWD/$out/$style" --existing overwrite --page-style "$style" >"$out/$style.log" 2>&1 ||
    { cat "$out/$style.log"; exit 1; }
  local t
  t=$(awk "BEGIN{print $(now) - $start}")
  echo "  $style: $t s"
  if [ -z "${best[$style]:-}" ] || awk "BEGIN{exit !($t < ${best[$style]})}"; then best[$style]=$t; fi
}

for round in $(seq 1 "$rounds"); do
  echo "round $round"
  if [ $((round % 2)) -eq 1 ]; then run classic; run modern; else run modern; run classic; fi
done

copies() { find "$out/$1" -name '*.jpg' | wc -l; }
echo "classic: best ${best[classic]} s, $(copies classic) copies"
echo "modern:  best ${best[modern]} s, $(copies modern) copies"
awk "BEGIN{r = ${best[modern]} / ${best[classic]}; printf \"ratio modern / classic: %.2f (target at most 1.6): %s\n\", r, r <= 1.6 ? \"met\" : \"NOT met\"}"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
