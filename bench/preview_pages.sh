#!/usr/bin/env bash
# Times the preview pages on a folder of COUNT photographs (4000 x 3000,
# quality 92, noisy, EXIF date), offscreen, each run with an empty cache:
# the thumbnail page with the worker pool and, for comparison, one by one on
# the user-interface thread (the same code with MIROFOTO_PREVIEW_THREADS=ui);
# then the enlarged page's display of a 12-megapixel picture.
#   bench/preview_pages.sh [COUNT]      (default 1000; after scripts/build.sh)
# Making a thousand such photographs takes over half an hour on two cores,
# so DISTINCT of them (default 100) are made once into bench/out and copied
# (real copies, not links) until there are COUNT files.
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-1000}
distinct=${DISTINCT:-100}
src=bench/out/thumb-photos-src
photos=bench/out/thumb-photos-$count
cmake --build build -j2 --target preview_pages_bench album_run_photos >/dev/null
. bench/photos.sh
bench_photos "$src" 1 "$distinct" 24
if [ ! -f "$photos/.complete" ]; then
  rm -rf "$photos"
  mkdir -p "$photos"
  mapfile -t files < <(find "$src/写真01" -name '*.JPG' | sort)
  for i in $(seq 1 "$count"); do
    cp "${files[$(( (i - 1) % ${#files[@]} ))]}" "$photos/$(printf 'IMG_%04d.JPG' "$i")"
  done
  touch "$photos/.complete"
fi
echo "$(find "$photos" -name '*.JPG' | wc -l) photographs in $photos ($(du -sh "$photos" | cut -f1)); $(nproc) cores;" \
  "load average $(cut -d' ' -f1-3 /proc/loadavg)"
# The files read once, so every run starts from the same page cache.
cat "$photos"/*.JPG >/dev/null
export QT_QPA_PLATFORM=offscreen MIROFOTO_REGISTRY=$PWD/build/bin/registry.ini
run() {
  local home
  home=$(mktemp -d)
  MIROFOTO_HOME=$home "$@"
  rm -rf "$home"
}
run build/bin/preview_pages_bench thumbnails "$PWD/$photos"
MIROFOTO_PREVIEW_THREADS=ui run build/bin/preview_pages_bench thumbnails "$PWD/$photos"
run build/bin/preview_pages_bench enlarged "$PWD/$photos" 9
MIROFOTO_PREVIEW_THREADS=ui run build/bin/preview_pages_bench enlarged "$PWD/$photos" 9
