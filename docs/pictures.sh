#!/usr/bin/env bash
# Makes the README's pictures with molvane-render, with its defaults (4
# samples a pixel, a depth cue, the whole structure framed), one with
# ambient occlusion and one on a transparent background. Run from the
# repository root after building: bash docs/pictures.sh [path/to/molvane-render]
set -euo pipefail
render=${1:-build/src/tools/molvane-render}
size=(--size 600x450 --quiet)
"$render" examples/1ubq.pdb "${size[@]}" -o docs/1ubq-lines.png
"$render" examples/1ubq.pdb "${size[@]}" --atoms balls --bonds sticks --detail medium -o docs/1ubq-balls-sticks.png
"$render" examples/1hpv.pdb "${size[@]}" --atoms cpk --detail medium -o docs/1hpv-cpk.png
"$render" examples/4jsv.pdb "${size[@]}" --colour chain -o docs/4jsv-chains.png
"$render" examples/1hpv.pdb "${size[@]}" --colour residue --bonds sticks --detail medium -o docs/1hpv-residues.png
"$render" examples/1hpv.pdb "${size[@]}" --atoms none --bonds sticks --highlight-conect --zoom 1.6 -o docs/1hpv-conect.png
"$render" examples/1ubq.pdb "${size[@]}" --atoms balls --bonds sticks --detail high --turn 60,20 \
  --background white -o docs/1ubq-white.png
"$render" examples/1hpv.pdb "${size[@]}" --atoms cpk --detail high --ao --background white -o docs/1hpv-cpk-ao.png
"$render" examples/1ubq.pdb "${size[@]}" --atoms balls --bonds sticks --detail high --background none \
  -o docs/1ubq-transparent.png
