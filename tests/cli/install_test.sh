#!/usr/bin/env bash
# cmake --install into a fresh prefix gives a tool that finds its plug-in and renders without the build tree,
# a manual page that man shows, and a bash completion that completes.
#   install_test.sh BUILD_DIR TOVRIN_SAMPLES
set -euo pipefail
build=$1
samples=$2
prefix=$(mktemp -d)
work=$(mktemp -d)
trap 'rm -rf "$prefix" "$work"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
tool=$prefix/bin/tovrin
test -x "$tool"
test -f "$prefix/lib/tovrin/Tovrin.so"

"$samples" "$work/in" --size 64x48 --frames 2 >/dev/null
env -u TOVRIN_PLUGIN "$tool" render "$work/in/cel_8bit.png" -o "$work/out.png" -s "Blur Amount=4" -q
test -s "$work/out.png"
env -u TOVRIN_PLUGIN "$tool" info | grep -qF "$prefix/lib/tovrin/Tovrin.so"
"$tool" --version | grep -qE '^tovrin [0-9]+\.[0-9]+\.[0-9]+$'

LC_ALL=C MANWIDTH=200 man -l -P cat "$prefix/share/man/man1/tovrin.1" >"$work/man.txt" 2>/dev/null
for text in "tovrin render" "skip-existing" "EXIT STATUS" "FRAME n cancelled" "TOVRIN_PLUGIN"; do
    grep -qF -- "$text" "$work/man.txt" || { echo "the manual page lacks \"$text\""; exit 1; }
done

completion=$prefix/share/bash-completion/completions/tovrin
bash -c "source '$completion'
    COMP_WORDS=(tovrin rend); COMP_CWORD=1; _tovrin; [[ \${COMPREPLY[*]} == render ]] || exit 1
    COMP_WORDS=(tovrin render --dep); COMP_CWORD=2; _tovrin; [[ \${COMPREPLY[*]} == --depth ]] || exit 2
    COMP_WORDS=(tovrin render --depth 1); COMP_CWORD=3; _tovrin; [[ \${COMPREPLY[*]} == 16 ]] || exit 3" ||
    { echo "the completion does not complete (case $?)"; exit 1; }
echo "installed and working: $prefix"
