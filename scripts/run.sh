#!/usr/bin/env bash
# Sets up a fresh machine, builds the viewer and the inspector in build/ and
# starts the viewer from the repository's root, where it finds its Textures/
# and keeps recentpdb.txt. Warnings are not errors here (the test script
# builds in its own folder, build-test/, with -Werror).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DMOLVANE_WERROR=OFF >/dev/null
cmake --build build -j "$(nproc)" --target molvane molvane-inspect
exec ./build/src/app/molvane "$@"
