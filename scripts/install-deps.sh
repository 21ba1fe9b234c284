#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, if missing.
set -euo pipefail

PACKAGES=(
    build-essential cmake ninja-build pkg-config
    qtbase5-dev qtbase5-dev-tools libqt5xml5 libqt5network5
    qttools5-dev qttools5-dev-tools
    qt5-gtk-platformtheme fonts-dejavu-core
    xvfb xauth
    python3 python3-dev python3-bs4 python3-lxml
    gdal-bin
    libqt5sql5-sqlite libqt5sql5-psql postgresql
)

missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
