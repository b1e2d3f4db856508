#!/usr/bin/env bash
# Times the main window: opened on the sample folder (five fresh processes)
# and its tree and menu page rebuilt for 300 subfolders. Under a real X
# server (Xvfb) when xvfb-run is there, else offscreen.
#   bench/mainwindow.sh [SUBFOLDERS]      (after scripts/build.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
bench=$PWD/build/bin/mainwindow_bench
samples=$PWD/build/samples/サンプル写真
export MIROFOTO_REGISTRY=$PWD/build/bin/registry.ini
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export MIROFOTO_HOME=$home
run() {
  if command -v xvfb-run >/dev/null && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
  else
    QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$@"
  fi
}
for i in 1 2 3 4 5; do run "$bench" open "$samples"; done
run "$bench" rebuild "${1:-300}"
