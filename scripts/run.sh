#!/usr/bin/env bash
# Installs what the program needs, builds it and runs the main job: the album
# of the sample photos (made by the build) is generated into build/album.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
dir=$(scripts/build.sh --no-tests | tail -n 1)

out="$PWD/$dir/album"
mkdir -p "$out"
"$dir/bin/mirofoto" generate --image-folder "$PWD/$dir/samples/サンプル写真" --output "$out" --existing overwrite
echo "index page: $out/index.htm"
