#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and benchmark.
# Idempotent: packages already present are left as they are. Run as root
# (or through sudo when it is available).
set -euo pipefail

PACKAGES=(
  # build
  cmake g++ make pkg-config git
  # libraries
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libvips-dev libturbojpeg0-dev libjpeg62-turbo-dev
  # tests (lcms2 makes colour profiles for the imaging fixtures)
  libgtest-dev libgmock-dev liblcms2-dev
  # packaging: the Debian package's dependencies (dpkg-shlibdeps), its
  # check, and the check of the desktop entry
  dpkg-dev lintian desktop-file-utils
  # fuzzing (libFuzzer ships in clang's runtime package)
  clang libclang-rt-14-dev
  # Japanese glyphs for the windows and the screenshots
  fonts-ipafont-gothic fonts-ipafont-mincho
  # peers and tools for tests and benchmarks
  libvips-tools libjpeg-turbo-progs imagemagick libimage-exiftool-perl xvfb chromium python3
  time
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

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
