#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need, when missing.
set -euo pipefail
packages=(cmake g++ make ccache qt6-base-dev libqt6opengl6-dev libgl1-mesa-dev libglu1-mesa-dev
          xvfb xauth googletest libgtest-dev libgmock-dev libbenchmark-dev libcups2-dev cups
          libusb-1.0-0-dev umockdev libumockdev-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
