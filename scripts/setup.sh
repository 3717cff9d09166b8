#!/usr/bin/env bash
# Installs every Debian package Molvane needs to build, run and test.
# Safe to run any number of times: apt-get skips what is already there.
set -euo pipefail

packages=(
  # build tools
  build-essential cmake ninja-build pkg-config git
  # tests, benchmarks, fuzzing and sanitizers
  libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
  # Qt 6 widgets and OpenGL (Mesa, software rendering)
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev qt6-qpa-plugins
  libgl-dev libepoxy-dev libgl1-mesa-dri libglx-mesa0 libegl1 libegl-dev mesa-utils
  libxkbcommon-x11-0 libxcb-cursor0 libxcb-icccm4 libxcb-image0 libxcb-keysyms1
  libxcb-render-util0 libxcb-xinerama0 libxcb-xkb1 libxcb-randr0 libxcb-shape0
  fonts-dejavu-core
  # a virtual display and real input for the GUI tests, and screenshots
  xvfb xauth xdotool x11-utils imagemagick python3
)

if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages already installed"
  exit 0
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${missing[@]}"
