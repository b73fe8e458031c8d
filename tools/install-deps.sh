#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the program and the tests need
# (llvmpipe, the software OpenGL, comes with libgl1-mesa-dri and libegl-mesa0),
# asking apt only when one is missing.
set -euo pipefail
packages=(build-essential cmake pkg-config libsdl2-dev libglu1-mesa-dev libgl-dev
          libx11-dev libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth xfonts-base
          libxcb-xtest0-dev libxcb-damage0-dev x11-utils libgl1-mesa-dri libegl-mesa0 openbox
          clang-14 libclang-rt-14-dev llvm-14)  # sanitizer and fuzz builds; llvm-14 symbolizes their reports
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
