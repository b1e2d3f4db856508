#!/usr/bin/env bash
# The cost of the per-folder settings in a whole album run: 2,000 small
# pictures in one album, made once with no stored choices and once with a
# settings file that holds a tick and a turn for every picture (about
# 200 KB). Readers read that file for every tick and turn, so a run that
# parsed it at every read would grow with the square of the pictures; the
# run with settings should stay within 10% of the one without.
#
#   bench/settings_scale.sh [PICTURES]        (default 2000)
#
# Best of ROUNDS (default 3) rounds each, on one thread (--threads 1) so that
# the settings reads, which happen on the run's own thread, are not hidden
# behind the picture work of other threads. Each run also prints how many
# settings values it read and how many times a file was parsed for them
# (--verbose): a file parsed at every read shows as many parses as reads.
set -euo pipefail
cd "$(dirname "$0")/.."

pictures=${1:-2000}
rounds=${ROUNDS:-3}
work=bench/out/settings-scale
photos=$work/photos-$pictures

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target mirofoto imgctl album_run_photos >/dev/null
mirofoto=$PWD/build/bin/mirofoto

. bench/photos.sh
bench_photos "$photos" 1 "$pictures" 4 160x120
images=$PWD/$photos/
album=写真01

# The program folders: one without choices, one with a tick and a turn for
# every picture (in the per-folder settings folder the program derives from
# the image folder's path: every "/" made "￥").
plain=$PWD/$work/home-plain
stored=$PWD/$work/home-stored
rm -rf "$plain" "$stored"
mkdir -p "$plain" "$stored"
python3 - "$images" "$album" "$stored" <<'PY'
import os, sys
images, album, home = sys.argv[1], sys.argv[2], sys.argv[3]
folder = os.path.join(home, "設定", images.replace(":", "：").replace("/", "￥"))
os.makedirs(folder, exist_ok=True)
names = sorted(n for n in os.listdir(os.path.join(images, album)) if n.endswith(".JPG"))
lines = ["[チェック]", album + "=True"]
lines += [f"{album}/{n}=1" for n in names]
lines += ["[回転]"]
lines += [f"{images}{album}/{n}=0" for n in names]
with open(os.path.join(folder, "設定.ini"), "wb") as f:
    f.write(("\r\n".join(lines) + "\r\n").encode("cp932"))
PY
settings_file=$(find "$stored/設定" -name 設定.ini)
echo "$pictures pictures; settings file of $(stat -c %s "$settings_file") bytes; $(nproc) cores"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"

now() { date +%s.%N; }
declare -A best
run() {
  local name=$1 home=$2 out=$PWD/$work/out-$1
  rm -rf "$out"
  mkdir -p "$out"
  local start
  start=$(now)
  MIROFOTO_HOME="$home" /usr/bin/time -f '%U %S' -o "$work/cpu" "$mirofoto" generate --image-folder "$images" \
    --output "$out" --existing overwrite --threads 1 --verbose >"$work/$name.log" 2>&1 ||
    { cat "$work/$name.log"; exit 1; }
  local t cpu
  t=$(awk "BEGIN{print $(now) - $start}")
  cpu=$(awk '{print $1 + $2}' "$work/cpu")
  if [ -z "${best[$name]:-}" ] || awk "BEGIN{exit !($t < ${best[$name]})}"; then best[$name]=$t; fi
  printf '  %-18s %6.2f s (%.2f s CPU); %s\n' "$name" "$t" "$cpu" "$(grep '設定の読み出し' "$work/$name.log")"
}
for round in $(seq 1 "$rounds"); do
  echo "round $round:"
  run "without settings" "$plain"
  run "with settings" "$stored"
done
made=$(find "$PWD/$work/out-with settings" -name '*_s.jpg' | wc -l)
[ "$made" -eq "$pictures" ] || { echo "the run with settings made $made thumbnails for $pictures pictures" >&2; exit 1; }

ratio=$(awk "BEGIN{printf \"%.3f\", ${best[with settings]} / ${best[without settings]}}")
verdict=$(awk "BEGIN{print ($ratio <= 1.10) ? \"meets\" : \"misses\"}")
printf 'best of %d: without settings %.2f s, with settings %.2f s, ratio %s (%s the target of 1.10)\n' \
  "$rounds" "${best[without settings]}" "${best[with settings]}" "$ratio" "$verdict"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
