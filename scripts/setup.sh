#!/usr/bin/env bash
# Installs the Debian packages the project needs, in layers:
#   scripts/setup.sh            what the program needs to build and run
#   scripts/setup.sh --tests    and what the tests add
#   scripts/setup.sh --bench    and what the benchmarks add (the peers they time)
#   scripts/setup.sh --fuzz     and what fuzzing adds (clang's libFuzzer)
#   scripts/setup.sh --all      every layer
# Options combine. Idempotent: packages already present are left as they
# are. Run as root (or through sudo when it is available).
set -euo pipefail

# Build and run: compiler and build tools, the libraries we link (Qt brings
# its OpenGL headers itself), Japanese glyphs for the windows, Qt's own
# Japanese texts for its standard buttons and dialogs, and rclone, which
# carries a publish to the server.
BUILD_AND_RUN=(
  cmake g++ make pkg-config
  qt6-base-dev qt6-base-dev-tools
  libvips-dev libturbojpeg0-dev libjpeg62-turbo-dev libxxhash-dev nlohmann-json3-dev
  fonts-ipafont-gothic qt6-translations-l10n rclone
)
# Tests: GoogleTest; lcms2 makes colour profiles for the imaging fixtures;
# jpegtran is the reference for the lossless thumbnail turn; python3 and
# chromium check the album as a browser sees it and the dump's JSON; the
# package test needs dpkg-shlibdeps (dpkg-dev) for the package's
# dependencies, lintian to check it, desktop-file-validate for its menu
# entry and appstreamcli for its AppStream metadata; openssh-server is the
# SFTP server the publish tests start on 127.0.0.1 (as the user running
# them, never as a system service).
# nodejs runs the HTML validator and the accessibility engine of the page
# tests, which npm installs from tests/browser/node/package-lock.json.
TESTS=(
  libgtest-dev liblcms2-dev libjpeg-turbo-progs python3 chromium nodejs
  dpkg-dev lintian desktop-file-utils appstream openssh-server
  # the window's screenshots under a real X server (scripts/screenshots.sh)
  xvfb xauth x11-utils imagemagick
)
# Benchmarks: the peers they time (ImageMagick, vipsthumbnail, djpeg), the
# EXIF the test photographs get, and /usr/bin/time.
BENCH=(
  imagemagick libvips-tools libjpeg-turbo-progs libimage-exiftool-perl python3 time
)
# Fuzzing: clang with libFuzzer, which ships in clang's runtime package.
FUZZ=(
  clang libclang-rt-14-dev
)

PACKAGES=("${BUILD_AND_RUN[@]}")
node_tools=false
for arg in "$@"; do
  case "$arg" in
    --tests|--all) node_tools=true ;;
  esac
  case "$arg" in
    --tests) PACKAGES+=("${TESTS[@]}") ;;
    --bench) PACKAGES+=("${BENCH[@]}") ;;
    --fuzz) PACKAGES+=("${FUZZ[@]}") ;;
    --all) PACKAGES+=("${TESTS[@]}" "${BENCH[@]}" "${FUZZ[@]}") ;;
    *) sed -n '2,9p' "$0" >&2; exit 2 ;;
  esac
done

missing=()
for p in $(printf '%s\n' "${PACKAGES[@]}" | sort -u); do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

# Debian's npm comes apart from nodejs; a nodejs that brings its own npm
# (and conflicts with Debian's) needs none.
if $node_tools && ! command -v npm >/dev/null 2>&1; then missing+=(npm); fi

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
else
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then SUDO="sudo"; else
      echo "setup: must run as root to install: ${missing[*]}" >&2; exit 1
    fi
  fi

  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The page tests' node packages, at the versions of the lock file, in the
# project's own folder (never globally). Installed again only when the lock
# file changed since.
if $node_tools; then
  node_dir="$(cd "$(dirname "$0")/.." && pwd)/tests/browser/node"
  stamp="$node_dir/node_modules/.package-lock.json"
  if [ ! -f "$stamp" ] || [ "$node_dir/package-lock.json" -nt "$stamp" ]; then
    echo "setup: installing the page tests' node packages"
    (cd "$node_dir" && npm ci --no-audit --no-fund --loglevel=error)
  fi
fi
