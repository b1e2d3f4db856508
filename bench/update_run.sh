#!/usr/bin/env bash
# Times an update run ("--existing update") against the full run before it.
#
# Makes (once, then cached) an image folder of FOLDERS x PER_FOLDER
# photograph-like 4000 x 3000 JPEGs (the generator of bench/album_run.sh),
# and 10 more pictures kept outside it. Then, with a fresh program folder:
#   full    mirofoto generate --existing overwrite into an empty output
#           folder (pages and both copies of every picture);
#   update  after the 10 pictures were put into the first album and one
#           picture of the second got a quarter turn: mirofoto generate
#           --existing update into the same folder.
# Prints both times, the copies the update made, kept and removed (it must
# make exactly the 22 copies of the 11 pictures) and whether the update
# meets the target: at most 3% of the full run plus 1 s. The 10 pictures
# leave the image folder again at the end. VERIFY=1 adds a full run of the
# changed state into a second folder and compares the two byte for byte.
#
#   bench/update_run.sh [FOLDERS [PER_FOLDER]]     (default 10 x 100 = 1,000 photographs)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --bench >/dev/null

folders=${1:-10}
per_folder=${2:-100}
noise=${NOISE:-24}
photos=$PWD/bench/out/album-run-photos-$folders-$per_folder-n$noise
extra=$PWD/bench/out/update-run-extra-n$noise
out=$PWD/bench/out/update-run
[ "$folders" -ge 2 ] || { echo "update_run.sh: at least 2 folders" >&2; exit 2; }

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target mirofoto imgctl tagora album_run_photos update_run_turn >/dev/null
mirofoto=$PWD/build/bin/mirofoto

. bench/photos.sh
bench_photos "$photos" "$folders" "$per_folder" "$noise"
if [ ! -f "$extra/.complete" ]; then
  rm -rf "$extra"
  build/bin/album_run_photos "$extra/made" 1 10 "$noise"
  # Other names and other pixels than the album's own pictures.
  for f in "$extra"/made/*/*.JPG; do mv "$f" "$extra/NEW_$(basename "$f")"; done
  rm -rf "$extra/made"
  touch "$extra/.complete"
fi
first=$(find "$photos" -mindepth 1 -maxdepth 1 -type d | sort | sed -n 1p)
second=$(find "$photos" -mindepth 1 -maxdepth 1 -type d | sort | sed -n 2p)
turned=$(find "$second" -name '*.JPG' | sort | sed -n "$(((per_folder + 1) / 2))p")
remove_extra() { rm -f "$first"/NEW_*.JPG; }
trap remove_extra EXIT
remove_extra

echo "$((folders * per_folder)) photographs of 4000 x 3000 in $folders folders, $(du -sh "$photos" | cut -f1); $(nproc) cores"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
now() { date +%s.%N; }
run() {  # run OUTPUT POLICY LOG
  MIROFOTO_HOME="$out/home" "$mirofoto" generate --image-folder "$photos" --output "$1" --create-output \
    --existing "$2" >"$3" 2>&1 || { cat "$3"; exit 1; }
}

rm -rf "$out"
mkdir -p "$out/album" "$out/home"
start=$(now)
run "$out/album" overwrite "$out/full.log"
t_full=$(awk "BEGIN{print $(now) - $start}")

cp -p "$extra"/NEW_*.JPG "$first/"
MIROFOTO_HOME="$out/home" build/bin/update_run_turn "$photos" "$turned" 90
start=$(now)
run "$out/album" update "$out/update.log"
t_update=$(awk "BEGIN{print $(now) - $start}")
counts=$(grep '縮小画像' "$out/update.log" | tail -1)

if [ "${VERIFY:-0}" = 1 ]; then
  run "$out/fresh" overwrite "$out/fresh.log"
  diff -r "$out/album" "$out/fresh" >/dev/null || { echo "the update differs from a full run" >&2; exit 1; }
  echo "verified: the update equals a full run of the changed state, file for file and byte for byte"
fi

target=$(awk "BEGIN{print 0.03 * $t_full + 1}")
printf 'full run:   %7.2f s\n' "$t_full"
printf 'update run: %7.2f s  (%s; 10 new pictures, 1 turned)\n' "$t_update" "$counts"
printf 'target:     %7.2f s  (3%% of the full run + 1 s): %s\n' "$target" \
  "$(awk "BEGIN{print ($t_update <= $target) ? \"met\" : \"missed\"}")"
[ "$counts" = "縮小画像: 作成 22、そのまま $((2 * folders * per_folder - 2))、削除 0" ] ||
  { echo "the update should have made exactly 22 copies" >&2; exit 1; }
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
