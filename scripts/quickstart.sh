#!/usr/bin/env bash
# Quick start: installs what the Linux tool needs, builds the plug-in and the tovrin tool (linux-tool), makes
# the sample frames and renders the showcase into out/, with a before and an after picture of each in
# out/showcase/ (the README shows them from there).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD

bash scripts/install-deps.sh --tool
cmake --preset linux-tool
cmake --build --preset linux-tool

bin=$root/build/linux-tool/bin
out=$root/out
s=$out/samples
mkdir -p "$out/showcase" "$out/sequence"
"$bin/tovrin-samples" "$s" >/dev/null
echo "Sample frames: $s"

# Every blur length 0: the effect copies its input, so these renders only convert files for the pictures.
copy=(-s "Blur Amount=0" -s "R=0" -s "G=0" -s "B=0" -s "A=0")
picture() {
    "$bin/tovrin" render "$1" -o "$2" --depth 8 "${copy[@]}" -y --quiet
}
# show NAME INPUT OUTPUT-EXTENSION SETTINGS...: renders INPUT into out/NAME.EXT, then the two pictures.
show() {
    local name=$1 input=$2 ext=$3
    shift 3
    echo "tovrin render $input -o out/$name.$ext $*"
    "$bin/tovrin" render "$input" -o "$out/$name.$ext" "$@" -y --quiet
    picture "$input" "$out/showcase/$name.before.png"
    picture "$out/$name.$ext" "$out/showcase/$name.after.png"
}

# A soft Gaussian blur of 12 pixels, colour lengths 0 (no fringes), 8-bit. Saved as a preset.
show soft_blur "$s/cel_8bit.png" png -s "Blur Type=Gaussian" -s "Blur Amount=12" -s "G=0" -s "B=0" \
    --save-preset "$out/soft.json"
# The defaults with a small Blur Amount: G and B add 5 and 15 pixels, so edges get coloured fringes.
show colour_fringes "$s/cel_16bit.png" png -s "Blur Amount=3"
# A horizontal streak: Blur Aspect 12 makes the horizontal lengths 13 times the vertical ones; 32-bit float.
show horizontal_streak "$s/cel_float.exr" exr -s "Blur Amount=3" -s "Blur Aspect=12" -s "G=0" -s "B=0"
# Stair steps smoothed: with lengths this short the edge smoothing runs before a one-pixel blur.
show smoothed_stair_steps "$s/cel_8bit.png" png -s "Blur Amount=1" -s "G=0" -s "B=0"
# The orange ball extracted by its key colour: everything else becomes transparent.
show ball_extracted "$s/cel_8bit.png" png -s "1 : Enable=on" -s "1 : Color=#FA9924" -s "1 : Color Range=8" \
    -s "Mode=Extract"
# Brightened before the blur: Brightness 5 scales every colour by 1.35, then a 6-pixel Gaussian.
show brightened_blur "$s/cel_8bit.png" png -s "Brightness=5" -s "Blur Type=Gaussian" -s "Blur Amount=6" \
    -s "G=0" -s "B=0"
# The sequence, with the soft preset.
echo "tovrin render $s/cel_seq.####.png -o out/sequence/soft.####.png --preset out/soft.json"
"$bin/tovrin" render "$s/cel_seq.####.png" -o "$out/sequence/soft.####.png" --preset "$out/soft.json" -y --quiet

echo
echo "Done. The renders are in $out/, their before and after pictures in $out/showcase/ (the README shows"
echo "them), the sequence in $out/sequence/."
echo "More: $bin/tovrin --help, $bin/tovrin info for the effect's controls, and"
echo "      cmake --install build/linux-tool  to install the tool, the plug-in, the manual page and completion."
