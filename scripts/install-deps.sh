#!/usr/bin/env bash
# Installs what the build needs from Debian 12's packages (as root).
#   install-deps.sh          everything: the tool, the tests, the benchmarks, the Windows cross-build, Wine
#   install-deps.sh --tool   only what the Linux tool and its plug-in need (the quick start)
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
# The Linux tool: compiler, CMake, OpenImageIO, the command-line and JSON libraries, man to read its page.
tool=(
    cmake ninja-build g++ make pkg-config
    libopenimageio-dev libcli11-dev nlohmann-json3-dev man-db
)
# Everything else: tests, benchmarks, the fuzz targets (clang's libFuzzer; llvm-symbolizer for readable
# reports), the Windows build and its tests under Wine with a virtual display.
rest=(
    python3 clang-format openimageio-tools
    clang libclang-rt-14-dev llvm
    libgtest-dev libgmock-dev googletest libbenchmark-dev libopencv-imgproc-dev
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64
    xvfb x11-apps imagemagick fonts-ipafont-gothic locales
    ffmpeg melt frei0r-plugins-dev
    slurm-wlm munge
)
packages=("${tool[@]}")
if [[ ${1:-} != --tool ]]; then
    packages+=("${rest[@]}")
fi
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    # Slurm's and munge's packages would start their system daemons; the farm test starts its own cluster.
    if [[ ! -e /usr/sbin/policy-rc.d ]]; then
        printf '#!/bin/sh\nexit 101\n' >/usr/sbin/policy-rc.d
        chmod 755 /usr/sbin/policy-rc.d
        trap 'rm -f /usr/sbin/policy-rc.d' EXIT
    fi
    apt-get update
    apt-get install -y --no-install-recommends "${missing[@]}"
fi
[[ ${1:-} == --tool ]] && exit 0

# Locales the tests switch to: Japanese (code page 932 texts) and German (decimal comma).
if ! locale -a 2>/dev/null | grep -qi '^ja_JP.utf8$' || ! locale -a 2>/dev/null | grep -qi '^de_DE.utf8$'; then
    sed -i -E 's/^# *(ja_JP.UTF-8 UTF-8|de_DE.UTF-8 UTF-8|en_US.UTF-8 UTF-8)/\1/' /etc/locale.gen
    locale-gen >/dev/null
fi
