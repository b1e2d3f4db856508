#!/usr/bin/env bash
# Times the preview pages on folders of COUNT photographs (4000 x 3000,
# quality 92, noisy, EXIF date), offscreen, each run with an empty cache:
#   - the photographs as they are, without an embedded EXIF thumbnail: the
#     thumbnail page with the worker pool and, for comparison, one by one on
#     the user-interface thread (MIROFOTO_PREVIEW_THREADS=ui);
#   - the same photographs each carrying a 160 x 120 EXIF thumbnail of
#     itself, as cameras write them (made with vipsthumbnail and exiftool);
#   - optionally LARGE pictures of 1280 x 960 with such thumbnails, to see
#     that the cost of a folder does not grow with its size;
# then the enlarged page's display of a 12-megapixel picture, both kinds.
#   bench/preview_pages.sh [COUNT [LARGE]]   (defaults 1000 and 0, i.e. none;
#                                            LARGE also from the environment)
# Making a thousand such photographs takes over half an hour on two cores,
# so DISTINCT of them (default 100) are made once into bench/out and copied
# (real copies, not links) until there are COUNT files. DISTINCT_FROM names
# a folder of photographs already made (its first DISTINCT *.JPG files, in
# name order) to take instead, e.g. another benchmark's bench/out folder.
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-1000}
large=${2:-${LARGE:-0}}
distinct=${DISTINCT:-100}
src=bench/out/thumb-photos-src
cmake --build build -j2 --target preview_pages_bench album_run_photos >/dev/null
. bench/photos.sh
for tool in vipsthumbnail exiftool; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/setup.sh --bench)" >&2; exit 1; }
done

# The distinct sources, without embedded thumbnails.
if [ -n "${DISTINCT_FROM:-}" ]; then
  src=bench/out/thumb-photos-src-$distinct
  if [ ! -f "$src/.complete" ]; then
    rm -rf "$src"
    mkdir -p "$src/写真01"
    mapfile -t from < <(find "$DISTINCT_FROM" -name '*.JPG' | sort | head -n "$distinct")
    for i in "${!from[@]}"; do cp "${from[$i]}" "$src/写真01/$(printf 'IMG_%04d.JPG' $((i + 1)))"; done
    touch "$src/.complete"
  fi
else
  bench_photos "$src" 1 "$distinct" 24
fi

# with_thumbnails FROM TO [SIZE]: the photographs of FROM (scaled into SIZE
# when given) each given a 160 x 120 EXIF thumbnail of itself.
with_thumbnails() {
  local from=$PWD/$1 to=$PWD/$2 size=${3:-} f name tmp
  [ -f "$to/.complete" ] && return 0
  echo "adding EXIF thumbnails to the photographs of $from ..."
  rm -rf "$to"
  mkdir -p "$to/写真01"
  tmp=$(mktemp -d)
  for f in "$from"/写真01/*.JPG; do
    name=$(basename "$f")
    if [ -n "$size" ]; then
      vipsthumbnail "$f" --size "$size" -o "$to/写真01/$name[Q=90]"
    else
      cp "$f" "$to/写真01/$name"
    fi
    vipsthumbnail "$to/写真01/$name" --size 160x120 -o "$tmp/thumb.jpg[Q=80,strip]"
    exiftool -q -overwrite_original "-ThumbnailImage<=$tmp/thumb.jpg" "$to/写真01/$name"
  done
  rm -rf "$tmp"
  touch "$to/.complete"
}

# copies FROM TO N: N real copies of the photographs of FROM, in turn.
copies() {
  local from=$1 to=$2 n=$3 i files
  [ -f "$to/.complete" ] && return 0
  rm -rf "$to"
  mkdir -p "$to"
  mapfile -t files < <(find "$from/写真01" -name '*.JPG' | sort)
  for i in $(seq 1 "$n"); do
    cp "${files[$(( (i - 1) % ${#files[@]} ))]}" "$to/$(printf 'IMG_%05d.JPG' "$i")"
  done
  touch "$to/.complete"
}

with_thumbnails "$src" "$src-exif"
plain=bench/out/thumb-photos-$count-d$distinct
exif=bench/out/thumb-photos-exif-$count-d$distinct
copies "$src" "$plain" "$count"
copies "$src-exif" "$exif" "$count"
folders=("$plain" "$exif")
if [ "$large" -gt 0 ]; then
  with_thumbnails "$src" "$src-small-exif" 1280x960
  copies "$src-small-exif" "bench/out/thumb-photos-small-exif-$large-d$distinct" "$large"
  folders+=("bench/out/thumb-photos-small-exif-$large-d$distinct")
fi

export QT_QPA_PLATFORM=offscreen MIROFOTO_REGISTRY=$PWD/build/bin/registry.ini
run() {
  local home
  home=$(mktemp -d)
  MIROFOTO_HOME=$home "$@"
  rm -rf "$home"
}
for photos in "${folders[@]}"; do
  echo
  echo "$(find "$photos" -name '*.JPG' | wc -l) photographs in $photos ($(du -sh "$photos" | cut -f1)," \
    "$(exiftool -s3 -ImageSize "$(find "$photos" -name '*.JPG' | sort | head -n 1)")," \
    "$([ -n "$(exiftool -s3 -ThumbnailLength "$(find "$photos" -name '*.JPG' | sort | head -n 1)")" ] &&
      echo with || echo without) embedded thumbnails); $(nproc) cores; load average $(cut -d' ' -f1-3 /proc/loadavg)"
  # The files read once, so every run starts from the same page cache.
  find "$photos" -name '*.JPG' -exec cat {} + >/dev/null
  if [ "$photos" = "${folders[2]:-}" ]; then
    run build/bin/preview_pages_bench thumbnails "$PWD/$photos" scroll
  else
    run build/bin/preview_pages_bench thumbnails "$PWD/$photos"
  fi
  if [ "$photos" = "$plain" ]; then
    MIROFOTO_PREVIEW_THREADS=ui run build/bin/preview_pages_bench thumbnails "$PWD/$photos"
  fi
  if [ "$photos" != "${folders[2]:-}" ]; then
    run build/bin/preview_pages_bench enlarged "$PWD/$photos" 9
  fi
done
MIROFOTO_PREVIEW_THREADS=ui run build/bin/preview_pages_bench enlarged "$PWD/$plain" 9
