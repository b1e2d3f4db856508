#!/usr/bin/env bash
# Builds the Debian package mirofoto_<version>_amd64.deb from the release
# build (build/) and checks it with lintian; a lintian error or warning
# fails the script. The last line of standard output is the package's path.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh --tests >&2
dir=$(scripts/build.sh | tail -n 1)

out="$PWD/$dir/package"
rm -rf "$out"
# The build's and the packager's own output go to standard error, as in
# build.sh, so that callers can take the path from standard output.
cpack --config "$dir/CPackConfig.cmake" -B "$out" >&2
deb=$(find "$out" -maxdepth 1 -name 'mirofoto_*_amd64.deb' | head -n 1)
[ -n "$deb" ] || { echo "package: cpack made no mirofoto_*_amd64.deb in $out" >&2; exit 1; }

lintian --fail-on error,warning --display-info "$deb" >&2
echo "$deb"
