#!/usr/bin/env bash
# The option dialog for real: the Windows build's dialog driver opens the plug-in's Win32 dialog under Wine
# on a virtual display (Xvfb), once with an English and once with a Japanese locale (ANSI code page 932),
# presses its buttons and checks texts, states, placement and the stored-defaults file. Screenshots of the
# open dialog and the driver's logs land in BUILD/dialog-test/.
#
#   scripts/dialog-wine-test.sh [BUILD]      (default: build/windows-release, built with that preset)
#
# Exits 0 when every check passed, 1 when one failed or the driver hung, and 0 with a notice ("SKIPPED")
# only when the virtual display cannot start.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/windows-release}
driver=$build/tests/optiondlg/dialog_driver.exe
plugin=$build/plugin/Tovrin.aex
out=$build/dialog-test

if [[ ! -f $driver || ! -f $plugin ]]; then
    echo "dialog-wine-test: $driver or $plugin is missing; build the windows-release preset first" >&2
    exit 1
fi
export WINEPREFIX=${WINEPREFIX:-$PWD/$build/wineprefix} WINEDEBUG=-all
rm -rf "$out"
mkdir -p "$out"

# Windows paths of Wine's drive Z:, which is the Unix root.
winpath() { printf 'Z:%s' "$(realpath -m "$1")"; }

# ---- The virtual display -------------------------------------------------------------------------------
xvfb_pid=
cleanup() {
    if [[ -n $xvfb_pid ]]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
}
trap cleanup EXIT

if ! command -v Xvfb >/dev/null; then
    echo "dialog-wine-test: SKIPPED: Xvfb is not installed, so there is no display for the dialog"
    exit 0
fi
Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp 5>"$out/display" 2>"$out/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
    [[ -s $out/display ]] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
done
if [[ ! -s $out/display ]]; then
    echo "dialog-wine-test: SKIPPED: Xvfb did not start:" && cat "$out/xvfb.log"
    exit 0
fi
export DISPLAY=":$(tr -d '[:space:]' <"$out/display")"
echo "dialog-wine-test: virtual display $DISPLAY"

# ---- Wine: a fresh server that knows the display, a Japanese font for "MS UI Gothic", drawn frames --------
# A server still running from an earlier run was started without a display; let it end first.
timeout 30 wineserver -w 2>/dev/null || true
if [[ ! -d $WINEPREFIX ]]; then
    timeout 120 wineboot --init >/dev/null 2>&1 || true
fi
# Without a window manager, Wine draws the windows' frames and captions itself when they are not decorated.
cat >"$out/settings.reg" <<'EOF'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"MS UI Gothic"="IPAPGothic"

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Decorated"="N"
EOF
timeout 60 wine regedit /S "$(winpath "$out/settings.reg")" >/dev/null 2>&1 ||
    echo "dialog-wine-test: could not set the font and frame settings; texts may show as boxes"

# ---- One run of the driver per language ----------------------------------------------------------------
failed=0
run_language() {
    local lang=$1 locale=$2
    local shots=$out/shots-$lang
    mkdir -p "$shots"
    LANG=$locale LC_ALL=$locale timeout -k 5 150 wine "$driver" "$(winpath "$plugin")" \
        "$(winpath "$out/plugin-$lang")" "$lang" "$(winpath "$shots")" >"$out/driver-$lang.log" 2>&1 &
    local pid=$!
    # The driver waits at each of these cases, with the dialog open, until its screenshot is taken.
    for case in store legacy; do
        while [[ ! -e $shots/$case.ready ]] && kill -0 "$pid" 2>/dev/null; do
            sleep 0.1
        done
        [[ -e $shots/$case.ready ]] || break
        sleep 0.3 # let the dialog finish painting
        import -display "$DISPLAY" -window root "$out/dialog-$lang-$case.png" 2>>"$out/import.log" ||
            echo "dialog-wine-test: no screenshot of $lang $case (see import.log)"
        touch "$shots/$case.taken"
    done
    local rc=0
    wait "$pid" || rc=$?
    sed "s/^/  [$lang] /" "$out/driver-$lang.log"
    if ((rc != 0)); then
        echo "dialog-wine-test: the $lang run failed (exit $rc)"
        failed=1
    fi
}

run_language en en_US.UTF-8
run_language ja ja_JP.UTF-8

echo "dialog-wine-test: screenshots:" $(cd "$out" && ls dialog-*.png 2>/dev/null)
if ((failed)); then
    echo "dialog-wine-test: FAILED"
    exit 1
fi
echo "dialog-wine-test: passed"
