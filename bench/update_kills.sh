#!/usr/bin/env bash
# Interrupts "mirofoto generate --existing update" with kill -9 at fixed
# points, then lets a second update finish, and checks that the output is
# then, file for file and byte for byte, what a full run from an empty
# output folder writes (the records live outside the output folder, in the
# program's state): no copy that was half made, made with the old settings
# or not yet turned survives.
#
# In every round the first album folder and "images" (the menu page has a
# background image) are made links to folders elsewhere before the update
# starts: the update replaces them by real folders, and what the links lead
# to keeps its SHA-256, as do the photographs, through the kill and after.
#
# Each round starts from a full run, then changes what every copy depends
# on (the enlarged quality through an album settings file, and the turn of
# every picture), starts the update and kills it once it has put KILL_AT
# copies under their names (counted by polling the output folder, not by
# time: the same points on any machine). A round whose update finishes
# before that point is reported as such and still compared.
#
#   bench/update_kills.sh [KILL_AT ...]     (default 1 7 20 45 70)
#
# Exit status 0 when every round held, 1 with the first difference.
set -euo pipefail
cd "$(dirname "$0")/.."

points=("$@")
[ ${#points[@]} -gt 0 ] || points=(1 7 20 45 70)
work=$PWD/bench/out/update-kills
photos=$work/photos
out=$work/out
fresh=$work/fresh
home=$work/home

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target mirofoto imgctl tagora album_run_photos update_run_turn >/dev/null
mirofoto=$PWD/build/bin/mirofoto

. bench/photos.sh
bench_photos "$photos" 2 20 12 1600x1200
mapfile -t pictures < <(find "$photos" -name '*.JPG' | sort)

fail() { echo "FAULT: $*" >&2; exit 1; }
cp "${pictures[0]}" "$work/bg.jpg"
settings() {  # settings FILE QUALITY: an album settings file with that enlarged quality and a background
  printf '[設定]\r\n拡大画像画質=%s\r\n[オプション]\r\n背景色選択0=False\r\n背景画像0=%s\r\n' "$2" "$work/bg.jpg" |
    iconv -f UTF-8 -t CP932 >"$1"
}
(cd "$photos" && find . -name '*.JPG' -print0 | sort -z | xargs -0 sha256sum) >"$work/sources.sha256"
victims=$work/victims
rm -rf "$victims"
mkdir -p "$victims/album" "$victims/images"
for f in index.htm IMG_0001.htm IMG_0001_l.jpg IMG_0001_s.jpg notes.txt; do echo "the user's $f" >"$victims/album/$f"; done
for f in bg.jpg notes.txt; do echo "the user's $f" >"$victims/images/$f"; done
(cd "$victims" && find . -type f -print0 | sort -z | xargs -0 sha256sum) >"$work/victims.sha256"
unchanged() {  # unchanged WHEN: the photographs and what the links lead to keep their SHA-256
  (cd "$photos" && sha256sum --quiet -c "$work/sources.sha256") || fail "a source photograph changed ($1)"
  (cd "$victims" && sha256sum --quiet -c "$work/victims.sha256") || fail "a file a link leads to changed ($1)"
}
settings "$work/q90.mfs" 90
settings "$work/q70.mfs" 70
turn_all() {
  for p in "${pictures[@]}"; do MIROFOTO_HOME="$home" build/bin/update_run_turn "$photos" "$p" "$1"; done
}
run() {  # run OUTPUT SETTINGS POLICY
  MIROFOTO_HOME="$home" exec "$mirofoto" generate --image-folder "$photos" --output "$1" --create-output \
    --settings "$2" --existing "$3" --threads 2
}
named_copies_since() {
  find "$out" -name '*.jpg' ! -name '.*' -newer "$1" 2>/dev/null | wc -l
}

round=0
for at in "${points[@]}"; do
  round=$((round + 1))
  rm -rf "$out" "$fresh" "$home"
  mkdir -p "$home"
  (run "$out" "$work/q90.mfs" overwrite >/dev/null 2>&1) || fail "the first full run failed"
  turn_all 90
  album=$(ls "$out" | grep -v -e '^index.htm$' -e '^images$' | head -1)
  rm -rf "${out:?}/$album" "$out/images"
  ln -s "$victims/album" "$out/$album"
  ln -s "$victims/images" "$out/images"

  touch "$work/marker"
  (run "$out" "$work/q70.mfs" update >/dev/null 2>&1) &
  pid=$!  # the program itself: the subshell execs it
  seen=0
  killed=no
  # Polls until the point is reached or the run ends; bounded by the run.
  while kill -0 "$pid" 2>/dev/null; do
    seen=$(named_copies_since "$work/marker")
    if [ "$seen" -ge "$at" ]; then
      kill -9 "$pid" 2>/dev/null && killed=yes
      break
    fi
    sleep 0.005
  done
  wait "$pid" 2>/dev/null || true
  unchanged "round $round, after the kill"

  (run "$out" "$work/q70.mfs" update >"$work/update.log" 2>&1) || { cat "$work/update.log"; fail "the update after the kill failed"; }
  (run "$fresh" "$work/q70.mfs" overwrite >/dev/null 2>&1) || fail "the full run to compare with failed"
  unchanged "round $round, after the update"
  for place in "$out/$album" "$out/images"; do
    [ -d "$place" ] && [ ! -L "$place" ] || fail "round $round: $place is not a real folder after the update"
  done
  diff -r "$out" "$fresh" >"$work/diff.txt" 2>&1 || { head -20 "$work/diff.txt"; fail "round $round: the update differs from a full run"; }
  printf '  round %d: killed=%-3s after %2d new copies; the next update equals a full run (%s)\n' \
    "$round" "$killed" "$seen" "$(tail -1 "$work/update.log")"
done
echo "all held: ${#points[@]} rounds, each equal to a full run file for file and byte for byte;"
echo "  the links' targets and the photographs unchanged"
