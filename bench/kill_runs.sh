#!/usr/bin/env bash
# Interrupts "mirofoto generate" with kill -9 at random moments, twenty
# times over a 40-picture image folder, then lets one full run finish, and
# checks what a user relies on:
#   - the source photographs keep their SHA-256 through every run;
#   - after each kill, every page that stands under its name is whole (it
#     ends in </HTML>) and every copy decodes: nothing is ever half-written
#     under a real name;
#   - after the full run, no temporary, half-written or lock file remains
#     anywhere in the output folder, every page decodes from CP932 and is
#     whole, every copy decodes, and every picture has both copies and a page.
#
#   bench/kill_runs.sh [KILLS]          (default 20; SEED=n repeats a series)
#
# Exit status 0 when everything held, 1 with the first fault found.
set -euo pipefail
cd "$(dirname "$0")/.."

kills=${1:-20}
seed=${SEED:-$$}
RANDOM=$seed
work=$PWD/bench/out/kill-runs
photos=$work/photos
out=$work/out
home=$work/home

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target mirofoto imgctl tagora album_run_photos >/dev/null
mirofoto=$PWD/build/bin/mirofoto

. bench/photos.sh
bench_photos "$photos" 2 20 12 1600x1200
rm -rf "$out" "$home"
mkdir -p "$home"
(cd "$photos" && find . -name '*.JPG' -print0 | sort -z | xargs -0 sha256sum) >"$work/sources.sha256"

fail() { echo "FAULT: $*" >&2; exit 1; }
sources_unchanged() {
  (cd "$photos" && sha256sum --quiet -c "$work/sources.sha256") || fail "a source photograph changed ($1)"
}
# Pages and copies under their real names (hidden names are temporaries).
check_named_files() {
  [ -d "$out" ] || return 0
  while IFS= read -r -d '' page; do
    tail -c 9 "$page" | cmp -s - <(printf '</HTML>\r\n') || fail "$page is not whole ($1)"
    iconv -f CP932 -t UTF-8 "$page" >/dev/null 2>&1 || fail "$page is not CP932 text ($1)"
  done < <(find "$out" -name '*.htm' ! -name '.*' -print0)
  while IFS= read -r -d '' copy; do
    djpeg -outfile /dev/null "$copy" 2>/dev/null || fail "$copy does not decode ($1)"
  done < <(find "$out" -name '*.jpg' ! -name '.*' -print0)
}
run() {
  MIROFOTO_HOME="$home" exec "$mirofoto" generate --image-folder "$photos" --output "$out" --create-output \
    --existing "$1" --threads 2
}

# One full run first, to know how long a run takes.
start=$(date +%s%N)
(run overwrite >/dev/null 2>&1) || fail "the first full run failed"
full_ms=$(( ($(date +%s%N) - start) / 1000000 ))
echo "a full run takes $full_ms ms; $kills runs killed at random moments within it (seed $seed)"
rm -rf "$out"

policies=(overwrite html-only overwrite skip)
for i in $(seq 1 "$kills"); do
  policy=${policies[RANDOM % ${#policies[@]}]}
  delay_ms=$(( RANDOM % (full_ms + 1) ))
  (run "$policy" >/dev/null 2>&1) &
  pid=$!  # the program itself: the subshell execs it
  sleep "$(awk "BEGIN{print $delay_ms / 1000}")"
  kill -9 "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  sources_unchanged "after kill $i"
  check_named_files "after kill $i"
  left=$(find "$out" -name '.*' 2>/dev/null | wc -l)
  printf '  kill %2d: --existing %-9s after %5d ms, %2d hidden files left for the next run\n' \
    "$i" "$policy" "$delay_ms" "$left"
done

(run overwrite >"$work/final.log" 2>&1) || { cat "$work/final.log"; fail "the final full run did not finish cleanly"; }
sources_unchanged "after the final run"
check_named_files "after the final run"
leftovers=$(find "$out" -name '.*')
[ -z "$leftovers" ] || fail "left after the final run: $leftovers"
pictures=$(wc -l <"$work/sources.sha256")
[ "$(find "$out" -name '*_s.jpg' | wc -l)" -eq "$pictures" ] || fail "thumbnails missing"
[ "$(find "$out" -name '*_l.jpg' | wc -l)" -eq "$pictures" ] || fail "enlarged copies missing"
[ "$(find "$out" -name '*.htm' | wc -l)" -eq $((pictures + 3)) ] || fail "pages missing"
echo "all held: $pictures photographs unchanged, no temporary file left, every page and copy whole"
