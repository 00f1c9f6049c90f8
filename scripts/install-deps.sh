#!/usr/bin/env bash
# Installs everything the build, the tests, the Windows cross-build and the tool need (Debian 12, root).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
packages=(
    cmake ninja-build g++ make pkg-config python3 clang-format
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64
    libopenimageio-dev openimageio-tools libcli11-dev nlohmann-json3-dev libopencv-imgproc-dev
    xvfb x11-apps imagemagick fonts-ipafont-gothic locales
    slurm-wlm munge
)
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

# Locales the tests switch to: Japanese (code page 932 texts) and German (decimal comma).
if ! locale -a 2>/dev/null | grep -qi '^ja_JP.utf8$' || ! locale -a 2>/dev/null | grep -qi '^de_DE.utf8$'; then
    sed -i -E 's/^# *(ja_JP.UTF-8 UTF-8|de_DE.UTF-8 UTF-8|en_US.UTF-8 UTF-8)/\1/' /etc/locale.gen
    locale-gen >/dev/null
fi
