#!/usr/bin/env bash
# Builds the Debian package of Molvane in the build folder BUILD (default
# build-package): the programs configured for /usr, looking for their data
# only where the package installs it, then `cpack -G DEB`. Prints the path
# of the package; install it with `apt install ./BUILD/molvane_*.deb`.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-package}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
      -DMOLVANE_SOURCE_DATA=OFF -DMOLVANE_TESTS=OFF -DMOLVANE_BENCH=OFF --no-warn-unused-cli >/dev/null
cmake --build "$build" -j "${JOBS:-$(nproc)}" --target molvane molvane-inspect molvane-render
rm -f "$build"/molvane_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
ls "$(pwd)/$build"/molvane_*.deb
