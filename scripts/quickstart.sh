#!/usr/bin/env bash
# Quick start: installs what is needed, builds the plug-in and the tovrin tool (linux-release), makes the
# sample frames and renders them with a few showcase settings into out/.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD

bash scripts/install-deps.sh
cmake --preset linux-release
cmake --build --preset linux-release --target tovrin tovrin-samples

bin=$root/build/linux-release/bin
out=$root/out
mkdir -p "$out/sequence"
"$bin/tovrin-samples" "$out/samples" >/dev/null
echo "Sample frames: $out/samples"

render() {
    echo "tovrin render $*"
    "$bin/tovrin" render "$@" -y --quiet
}
s=$out/samples
# A soft Gaussian blur, 8-bit.
render "$s/cel_8bit.png" -o "$out/soft_8bit.png" -s "Blur Type=Gaussian" -s "Blur Amount=12" \
    --save-preset "$out/soft.json"
# A glow: blur and brightness, 16-bit.
render "$s/cel_16bit.png" -o "$out/glow_16bit.png" -s "Blur Type=Gaussian" -s "Blur Amount=24" -s "Brightness=10"
# A horizontal streak, 32-bit float.
render "$s/cel_float.exr" -o "$out/streak_float.exr" -s "Blur Amount=8" -s "Blur Aspect=6" -s "G=0" -s "B=0"
# Stair steps smoothed: a small blur runs the edge smoothing first.
render "$s/cel_8bit.png" -o "$out/smoothed_edges_8bit.png" -s "Blur Amount=3" -s "G=0" -s "B=0"
# Only the orange ball, extracted by its key colour and blurred.
render "$s/cel_8bit.png" -o "$out/ball_extracted_8bit.png" -s "1 : Enable=on" -s "1 : Color=#FA9924" \
    -s "1 : Color Range=8" -s "Mode=Extract" -s "Blur Amount=6"
# The sequence, with the soft preset.
render "$s/cel_seq.####.png" -o "$out/sequence/soft.####.png" --preset "$out/soft.json" --frames 1-8

echo
echo "Done. The results are in $out/ (the sequence in $out/sequence/):"
(cd "$out" && ls -1 *.png *.exr *.json sequence/*.png | sed 's/^/  /')
echo "More: $bin/tovrin --help, and $bin/tovrin info for the effect's controls."
