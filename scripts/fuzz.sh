#!/usr/bin/env bash
# Fuzzes the structure readers (PDB and mmCIF, plain or gzip), bond
# perception and the unbonded step for SECONDS seconds (default 60) on a
# temporary copy of the seed corpus. Fails when the
# fuzzer finds a crash, prints the crashing input and keeps it, with the log,
# in build-fuzz/crashes/; the temporary folder is removed in every case.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DMOLVANE_FUZZ=ON \
      -DMOLVANE_GUI=OFF -DMOLVANE_TESTS=OFF -DMOLVANE_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz --target fuzz_reader

work=$(mktemp -d /tmp/molvane-fuzz.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$work/crashes"
cp tests/fuzz/corpus/* "$work/corpus/"

set +e
build-fuzz/tests/fuzz/fuzz_reader -max_total_time="$seconds" -timeout=20 -rss_limit_mb=4096 \
  -max_len=200000 -print_final_stats=1 -artifact_prefix="$work/crashes/" "$work/corpus" \
  > "$work/fuzz.log" 2>&1
status=$?
set -e
tail -n 15 "$work/fuzz.log"

found=$(find "$work/crashes" -type f | head -n 5)
if [ "$status" -ne 0 ] || [ -n "$found" ]; then
  kept=build-fuzz/crashes
  mkdir -p "$kept"
  cp "$work/fuzz.log" "$kept/"
  echo "fuzz: the fuzzer failed (status $status); full log: $kept/fuzz.log"
  for f in $found; do
    cp "$f" "$kept/"
    echo "== crashing input kept at $kept/$(basename "$f"):"
    od -c "$f" | head -n 40
  done
  exit 1
fi
echo "fuzz: no crash in $seconds s"
