#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when
# any is missing. Used by every Makefile target; safe to run again.
set -euo pipefail

PACKAGES=(
  build-essential
  clang
  clang-format-14
  libclang-rt-14-dev
  cmake
  ninja-build
  pkg-config
  libgtest-dev
  libgmock-dev
  libbenchmark-dev
  libsqlite3-dev
  libpugixml-dev
  libjpeg62-turbo-dev
  libtiff-dev
  libusb-1.0-0-dev
  libudev-dev
  umockdev
  libumockdev-dev
  sane-utils
  libcairo2-dev
  libpango1.0-dev
  fonts-liberation
  fonts-dejavu-core
  libgtk-3-dev
  xvfb
  xauth
  libxtst-dev
  xdotool
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
