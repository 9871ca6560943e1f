#!/usr/bin/env bash
# Installs every Debian package the game, its tests, its benchmarks and its Debian package need.
# Quick when everything is present: only missing packages are installed.
set -euo pipefail

packages=(
  g++ cmake ninja-build ccache pkg-config
  libglfw3-dev libglew-dev libglm-dev libassimp-dev libbullet-dev libbullet-extras-dev
  libfreetype-dev libstb-dev libspdlog-dev libfmt-dev libinih-dev libopenal-dev libsndfile1-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool imagemagick sox clang-format
  clang-14 libclang-rt-14-dev llvm-14
  dpkg-dev file lintian desktop-file-utils
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
