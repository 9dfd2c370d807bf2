#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need, when any is missing.
set -euo pipefail
packages=(cmake g++ make qt6-base-dev qt6-serialport-dev libgl1-mesa-dev
          fonts-noto-cjk fonts-dejavu-core xvfb xauth xdotool x11-utils cups printer-driver-cups-pdf poppler-utils imagemagick
          desktop-file-utils appstream dpkg-dev util-linux python3
          libfftw3-dev pkgconf ser2net libtelnet-dev lintian clang-format)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi
