#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config git
  libgtest-dev libgmock-dev libbenchmark-dev
  libsdl2-dev libgl-dev libmpg123-dev libstb-dev
  zlib1g-dev libpng-dev libb2-dev nlohmann-json3-dev liblhasa-dev
  clang libclang-rt-14-dev
  libepoxy-dev libx11-dev fonts-noto-core xvfb xauth libgl1-mesa-dri xdotool
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
