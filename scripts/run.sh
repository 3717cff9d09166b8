#!/usr/bin/env bash
# Sets up a fresh machine, builds Molvane and starts the viewer from the
# repository's root, where it finds its Textures/ and keeps recentpdb.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$(nproc)"
exec ./build/src/app/molvane "$@"
