#!/usr/bin/env bash
# Measures ReadShootingDate per picture through the registered Tagora control.
#   bench/shooting_date.sh [PICTURES]      (after scripts/build.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
MIROFOTO_REGISTRY=build/bin/registry.ini build/bin/shooting_date_bench "${1:-200}"
