#!/usr/bin/env bash
# The album run from the album output form against `mirofoto generate` on
# the same photographs (those of album_run.sh: FOLDERS x PER_FOLDER 4000 x
# 3000 JPEGs, default 2 x 20), in alternating rounds, both with
# "すべて上書きする" into a fresh output folder and a fresh program folder.
# The form runs offscreen with every question answered by the benchmark
# (album_form_bench.cpp) and reports the largest gap of a 10 ms timer on the
# user-interface thread during the run. Targets: the form's run within 10 %
# of the command's, and no gap over 100 ms.
#
#   bench/album_form.sh [FOLDERS [PER_FOLDER]]     (ROUNDS=3 by default)
set -euo pipefail
cd "$(dirname "$0")/.."

folders=${1:-2}
per_folder=${2:-20}
noise=${NOISE:-24}
rounds=${ROUNDS:-3}
out=$PWD/bench/out/album-form
photos=$PWD/bench/out/album-run-photos-$folders-$per_folder-n$noise

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target mirofoto imgctl album_run_photos album_form_bench >/dev/null
export MIROFOTO_REGISTRY=$PWD/build/bin/registry.ini
export QT_QPA_PLATFORM=offscreen
. bench/photos.sh
bench_photos "$photos" "$folders" "$per_folder" "$noise"
echo "$(find "$photos" -name '*.JPG' | wc -l) photographs; $(nproc) cores; load average $(cut -d' ' -f1-3 /proc/loadavg)"

now() { date +%s.%N; }
smaller() { awk "BEGIN{print ($1 < $2) ? $1 : $2}"; }
best_cmd=1e9 best_form=1e9 best_form_run=1e9 worst_gap=0
for round in $(seq 1 "$rounds"); do
  rm -rf "$out" && mkdir -p "$out/cmd" "$out/form" "$out/home-cmd" "$out/home-form"
  start=$(now)
  MIROFOTO_HOME=$out/home-cmd build/bin/mirofoto generate --image-folder "$photos" --output "$out/cmd" \
    --existing overwrite >"$out/cmd.log" 2>&1 || { cat "$out/cmd.log"; exit 1; }
  t_cmd=$(awk "BEGIN{print $(now) - $start}")
  start=$(now)
  MIROFOTO_HOME=$out/home-form build/bin/album_form_bench "$photos" "$out/form" >"$out/form.log" 2>"$out/form.err" ||
    { cat "$out/form.log" "$out/form.err"; exit 1; }
  t_form=$(awk "BEGIN{print $(now) - $start}")
  read -r t_run gap < <(sed -n 's/^form run \([0-9.]*\) s, largest event-loop gap \([0-9.]*\) ms.*/\1 \2/p' "$out/form.log")
  printf 'round %d: mirofoto generate %.2f s; form process %.2f s (run %.2f s, largest gap %.1f ms)\n' \
    "$round" "$t_cmd" "$t_form" "$t_run" "$gap"
  diff -r -q -x '.*' "$out/cmd" "$out/form" >/dev/null || { echo "the two albums differ" >&2; diff -r -q "$out/cmd" "$out/form" >&2 || true; exit 1; }
  best_cmd=$(smaller "$t_cmd" "$best_cmd")
  best_form=$(smaller "$t_form" "$best_form")
  best_form_run=$(smaller "$t_run" "$best_form_run")
  worst_gap=$(awk "BEGIN{print ($gap > $worst_gap) ? $gap : $worst_gap}")
done
echo "best of $rounds rounds: mirofoto generate $best_cmd s, form process $best_form s (run alone $best_form_run s)"
echo "form run / command: $(awk "BEGIN{printf \"%.3f\", $best_form_run / $best_cmd}")," \
  "form process / command: $(awk "BEGIN{printf \"%.3f\", $best_form / $best_cmd}") (target <= 1.10)"
echo "largest event-loop gap of all rounds: $worst_gap ms (target <= 100)"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
