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
  libgl-dev libgl1-mesa-dri libglx-mesa0 libegl1 libegl-dev mesa-utils libxcb1-dev
  # off-screen pictures: GL functions under EGL, and PNG output
  libepoxy-dev libpng-dev
  # gzip-compressed structure files
  zlib1g-dev libdeflate-dev
  libxkbcommon-x11-0 libxcb-cursor0 libxcb-icccm4 libxcb-image0 libxcb-keysyms1
  libxcb-render-util0 libxcb-xinerama0 libxcb-xkb1 libxcb-randr0 libxcb-shape0
  fonts-dejavu-core
  # a virtual display and real input for the GUI tests, and screenshots
  xvfb xauth xdotool x11-utils imagemagick python3
  # a decimal-comma locale for the console-number tests
  locales
  # the Debian package: cpack finds the programs' library dependencies with
  # dpkg-shlibdeps (dpkg-dev) and needs `file` to pick out the programs
  dpkg-dev file
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# The German locale of the console-number tests (a decimal comma).
needLocale=0
locale -a 2>/dev/null | grep -qix 'de_DE.utf-\?8' || needLocale=1

if [ ${#missing[@]} -eq 0 ] && [ $needLocale -eq 0 ]; then
  echo "setup: all packages already installed"
  exit 0
fi

# Root runs the commands itself, anyone else through sudo; without sudo the
# commands are printed for root to run.
if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null 2>&1; then
  sudo=(sudo)
else
  echo "setup: some of what Molvane needs is missing, and this user is not root and has no sudo." >&2
  echo "setup: run as root, then run this script again:" >&2
  if [ ${#missing[@]} -gt 0 ]; then
    echo "  apt-get update && apt-get install -y --no-install-recommends ${missing[*]}" >&2
  fi
  if [ $needLocale -eq 1 ]; then
    echo "  localedef -i de_DE -f UTF-8 de_DE.UTF-8" >&2
  fi
  exit 1
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update
  "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
if ! locale -a 2>/dev/null | grep -qix 'de_DE.utf-\?8'; then
  echo "setup: generating the de_DE.UTF-8 locale"
  "${sudo[@]}" localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
