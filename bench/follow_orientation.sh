#!/usr/bin/env bash
# What following the EXIF orientation ("EXIFの向きに従う") costs an album run.
#
# Makes (once) an album folder of 40 photograph-like 4000 x 3000 JPEGs, every
# tenth tagged Orientation 6 (a camera held upright), and times
# `mirofoto generate --existing overwrite` on it with the setting on and off,
# interleaved (on, off, off, on, on, off, ...) so that a machine whose speed
# drifts slows both alike. Each pair gives the ratio on / off; the median
# ratio is the figure (target: at most 1.05). Also checks what the setting
# is for: on, a sideways picture's enlarged copy stands upright (270 x 360),
# off it lies on its side (480 x 360).
#
#   bench/follow_orientation.sh [PAIRS]     (default 6)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --bench >/dev/null

pairs=${1:-6}
out=bench/out/follow-orientation
photos=bench/out/follow-orientation-photos-40-s10

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target mirofoto imgctl tagora album_run_photos >/dev/null
mirofoto=$PWD/build/bin/mirofoto

. bench/photos.sh
bench_photos "$photos" 1 40 24 4000x3000 10
rm -rf "$out"
mkdir -p "$out"
# The two album settings files; everything else is the defaults.
for setting in 1 0; do
  printf '[オプション]\r\nEXIF回転=%s\r\n' "$setting" | iconv -f UTF-8 -t CP932 >"$out/exif$setting.mfs"
done

now() { date +%s.%N; }
# run ON|OFF: one whole run into a fresh output folder; prints its seconds.
run() {
  local name=$1 setting
  [ "$name" = on ] && setting=1 || setting=0
  rm -rf "$out/$name" "$out/home-$name"
  mkdir -p "$out/$name" "$out/home-$name"
  local start
  start=$(now)
  MIROFOTO_HOME="$PWD/$out/home-$name" "$mirofoto" generate --image-folder "$PWD/$photos" \
    --output "$PWD/$out/$name" --existing overwrite --settings "$PWD/$out/exif$setting.mfs" \
    >"$out/$name.log" 2>&1 || { cat "$out/$name.log"; exit 1; }
  awk "BEGIN{print $(now) - $start}"
}

echo "40 photographs of 4000 x 3000, every tenth sideways (Orientation 6); $(nproc) cores"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
run on >/dev/null  # warm-up: caches, the library, the settings folders
ratios=()
for i in $(seq 1 "$pairs"); do
  if [ $((i % 2)) -eq 1 ]; then t_on=$(run on); t_off=$(run off); else t_off=$(run off); t_on=$(run on); fi
  ratio=$(awk "BEGIN{printf \"%.4f\", $t_on / $t_off}")
  ratios+=("$ratio")
  printf 'pair %d: on %.2f s, off %.2f s, on / off %s\n' "$i" "$t_on" "$t_off" "$ratio"
done

size() { vipsheader -f width "$1" | tr '\n' 'x'; vipsheader -f height "$1"; }
sideways=$(find "$out/on" -name 'IMG_0010_l.jpg' | head -1)
upright_on=$(size "$sideways")
upright_off=$(size "${sideways/\/on\//\/off\/}")
echo "enlarged copy of the sideways picture: on $upright_on, off $upright_off"
[ "$upright_on" = 270x360 ] && [ "$upright_off" = 480x360 ] || { echo "unexpected copy sizes" >&2; exit 1; }

median=$(printf '%s\n' "${ratios[@]}" | sort -n | awk '{a[NR]=$1} END{print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}')
verdict=$(awk "BEGIN{print ($median <= 1.05) ? \"meets\" : \"misses\"}")
echo "median on / off over $pairs pairs: $median ($verdict the target of 1.05)"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
