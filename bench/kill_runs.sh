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
#     whole, every copy decodes, and every picture has both copies and a page;
#   - then, with an album folder and "images" in the output folder made
#     links to folders elsewhere before each of KILLS/2 more runs (killed the
#     same way, --existing update among the treatments) and a last update:
#     what the links lead to keeps its SHA-256, as do the photographs, and
#     the last update leaves real folders in the links' places.
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
run() {  # run POLICY [MORE ARGUMENTS]
  local policy=$1
  shift
  MIROFOTO_HOME="$home" exec "$mirofoto" generate --image-folder "$photos" --output "$out" --create-output \
    --existing "$policy" --threads 2 "$@"
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

# Links out of the output folder where an album folder and "images" go.
victims=$work/victims
rm -rf "$victims"
mkdir -p "$victims/album" "$victims/images"
album=$(ls "$out" | grep -v -e '^index.htm$' -e '^images$' | head -1)
for f in index.htm IMG_0001.htm IMG_0001_l.jpg notes.txt; do echo "the user's $f" >"$victims/album/$f"; done
for f in bg.jpg notes.txt; do echo "the user's $f" >"$victims/images/$f"; done
(cd "$victims" && find . -type f -print0 | sort -z | xargs -0 sha256sum) >"$work/victims.sha256"
cp "$(find "$photos" -name "*.JPG" | sort | head -1)" "$work/bg.jpg"
printf '[オプション]\r\n背景色選択0=False\r\n背景画像0=%s\r\n' "$work/bg.jpg" | iconv -f UTF-8 -t CP932 >"$work/bg.mfs"
victims_unchanged() {
  (cd "$victims" && sha256sum --quiet -c "$work/victims.sha256") || fail "a file a link leads to changed ($1)"
}
link_places() {
  rm -rf "${out:?}/$album" "$out/images"  # a link itself, or the real folder a run made
  ln -s "$victims/album" "$out/$album"
  ln -s "$victims/images" "$out/images"
}
policies=(overwrite html-only update skip)
link_kills=$(( (kills + 1) / 2 ))
echo "$link_kills more runs killed with $album and images linked to folders elsewhere"
for i in $(seq 1 "$link_kills"); do
  policy=${policies[RANDOM % ${#policies[@]}]}
  delay_ms=$(( RANDOM % (full_ms + 1) ))
  link_places
  (run "$policy" --settings "$work/bg.mfs" >/dev/null 2>&1) &
  pid=$!
  sleep "$(awk "BEGIN{print $delay_ms / 1000}")"
  kill -9 "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  sources_unchanged "after linked kill $i"
  victims_unchanged "after linked kill $i"
  check_named_files "after linked kill $i"
  printf '  kill %2d: --existing %-9s after %5d ms, links in place\n' "$i" "$policy" "$delay_ms"
done
link_places
(run update --settings "$work/bg.mfs" >"$work/final-links.log" 2>&1) ||
  { cat "$work/final-links.log"; fail "the update over the links did not finish cleanly"; }
sources_unchanged "after the update over the links"
victims_unchanged "after the update over the links"
check_named_files "after the update over the links"
for place in "$out/$album" "$out/images"; do
  [ -d "$place" ] && [ ! -L "$place" ] || fail "$place is not a real folder after the update"
done
[ -f "$out/images/bg.jpg" ] || fail "the background was not copied"
echo "all held with links: what they lead to and the photographs unchanged, real folders in their places"
