#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need.
# Does nothing when they are all present already.
set -euo pipefail

packages=(
    build-essential cmake pkg-config git
    libx11-dev libxext-dev libfreetype-dev libfontconfig-dev libpng-dev zlib1g-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    libcurl4-openssl-dev libssl-dev libpugixml-dev libblkid-dev libsystemd-dev
    fonts-liberation2 xvfb xauth xdotool x11-utils x11-apps imagemagick
    trayer tk tkdnd dosfstools util-linux chromium xclip clang-format dbus xdg-utils nginx
    python3-dbus clang libclang-rt-14-dev libboost-dev
    # gio and its trash backend read the trash the tests write, as a desktop would
    gvfs
    lintian desktop-file-utils appstream shared-mime-info libglib2.0-bin groff-base dpkg-dev fakeroot
    libatk1.0-dev libatk-bridge2.0-dev at-spi2-core python3-pyatspi
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
