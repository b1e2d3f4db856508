#!/usr/bin/env bash
# Screenshots of the main window under Xvfb (a real X server) with the
# Japanese font: the program opened on the sample folder with an album
# settings file that gives the menu page its own colours and a tiled
# background image, the menu page's in-place editor, the thumbnail and
# enlarged-image pages with captions on and off, each page at 800 × 600 and
# at the smallest window, the six pages of the options dialog, the album
# output form during a run and its publish strip after a publish, from the
# window tests run on the same server.
#   scripts/screenshots.sh [OUTPUT FOLDER]      (after scripts/build.sh; default build/screenshots)
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-build/screenshots}")
mkdir -p "$out"
bin=$PWD/build/bin
samples=$PWD/build/samples/サンプル写真
[ -x "$bin/mirofoto" ] && [ -d "$samples" ] || { echo "screenshots: build first (scripts/build.sh)" >&2; exit 1; }
if [ "${MIROFOTO_SHOTS_INSIDE:-}" != 1 ]; then
  # Once more, inside a fresh X server of its own.
  MIROFOTO_SHOTS_INSIDE=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$out"
fi

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export MIROFOTO_HOME=$home MIROFOTO_REGISTRY=$bin/registry.ini

# A tile that shows where it repeats, and the settings that use it.
convert -size 120x120 xc:'#fdf6e3' -fill '#f3e5c0' -draw 'circle 60,60 60,18' \
  -fill '#eadbb4' -draw 'circle 0,0 0,22' -draw 'circle 120,120 120,98' "$home/tile.png"
iconv -f UTF-8 -t CP932 > "$home/ミロフォト.ini" <<INI
[設定]
画像フォルダ=$samples
[オプション]
文字色0=3355443
リンク色0=10040064
背景色選択0=False
背景色0=14741759
背景画像0=$home/tile.png
INI
sed -i 's/$/\r/' "$home/ミロフォト.ini"
printf '[ウインドウ状態]\r\nWindowState=0\r\nTop=0\r\nLeft=0\r\nHeight=9750\r\nWidth=13500\r\n' | iconv -f UTF-8 -t CP932 \
  > "$home/設定.ini"
settings_folder=$home/設定/$(printf '%s/' "$samples" | sed 's/:/：/g; s#/#￥#g')
mkdir -p "$settings_folder"
printf '[メニューページ]\r\nタイトル=家族のアルバム\r\nサブタイトル=二〇二六年の写真から\r\n' | iconv -f UTF-8 -t CP932 \
  > "$settings_folder/設定.ini"

shoot() {
  "$bin/mirofoto" "$samples" &
  local pid=$! id=""
  for _ in $(seq 1 100); do
    id=$(xwininfo -root -tree 2>/dev/null | awk '/"ミロフォト　Ver1.1"/ {print $1; exit}')
    [ -n "$id" ] && break
    sleep 0.1
  done
  [ -n "$id" ] || { echo "screenshots: the window did not appear" >&2; kill "$pid"; return 1; }
  # The tree and the menu page are built once the window is up; a moment
  # for them to be painted.
  sleep 1
  import -window "$id" "$1"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
}

shoot "$out/menu-page.png"
# The editor open over the title, from the window tests on the same server.
MIROFOTO_SCREENSHOT_DIR=$out QT_QPA_PLATFORM=xcb "$bin/menu_page_window_tests" editsAreTrimmedAndStored:title \
  >/dev/null
# The thumbnail and enlarged-image pages, captions on and off.
MIROFOTO_SCREENSHOT_DIR=$out QT_QPA_PLATFORM=xcb "$bin/preview_pages_window_tests" captionsFollowTheirSwitches \
  >/dev/null
# Each page at 800 × 600 and at the smallest window, 506 × 395
# (menu-800x600.png, thumbnails-506x395.png, …).
MIROFOTO_SCREENSHOT_DIR=$out QT_QPA_PLATFORM=xcb "$bin/preview_pages_window_tests" \
  pagesKeepTheirControlsApartAndInside >/dev/null
# A folder of 500 pictures scrolled to its middle (thumbnails-500-middle.png).
MIROFOTO_SCREENSHOT_DIR=$out QT_QPA_PLATFORM=xcb "$bin/thumbnail_cells_window_tests" \
  aLargeFolderHasWidgetsOnlyNearTheView >/dev/null
# The six pages of the options dialog, and the album output form during a
# run, from their tests.
MIROFOTO_SCREENSHOT_DIR=$out QT_QPA_PLATFORM=xcb "$bin/options_dialog_tests" pagesAndControls >/dev/null
MIROFOTO_SCREENSHOT_DIR=$out QT_QPA_PLATFORM=xcb "$bin/album_output_form_tests" \
  stopInTheMiddleLeavesAConsistentAlbum >/dev/null
# The form's publish strip after a run published to rclone's local backend.
MIROFOTO_SCREENSHOT_DIR=$out QT_QPA_PLATFORM=xcb "$bin/publish_form_tests" \
  publishesAfterAFinishedRunAndAsksBeforeTheFirst targetSetUpKeepsThePasswordInRclonesConfiguration >/dev/null
ls "$out"/*.png
