#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing.
# Sourced by run.sh and test.sh; safe to run again.
set -euo pipefail

VISTREL_PACKAGES=(
  cmake g++ make pkg-config
  qt6-base-dev libqt6opengl6-dev qt6-translations-l10n qt6-l10n-tools qt6-image-formats-plugins
  libjpeg-dev libglu1-mesa-dev libgl1-mesa-dri
  libgtest-dev libbenchmark-dev
  xvfb xauth locales python3 python3-ezdxf
)
if [ "${VISTREL_SANITIZE:-0}" = "1" ]; then
  VISTREL_PACKAGES+=(clang-14 libclang-rt-14-dev)
fi

missing=()
for p in "${VISTREL_PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing missing packages: ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" != "0" ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get -o DPkg::Lock::Timeout=300 update -qq
  $SUDO apt-get -o DPkg::Lock::Timeout=300 install -y -qq --no-install-recommends "${missing[@]}"
fi
