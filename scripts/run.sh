#!/usr/bin/env bash
# Installs what the project needs, builds it and runs the main job.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
dir=$(scripts/build.sh | tail -n 1)
"$dir/bin/mirofoto" info
