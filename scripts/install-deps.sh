#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing Quillary need, and only
# those that are missing, so it is quick when everything is there.
set -euo pipefail

PACKAGES=(
    cmake g++ make pkg-config      # build
    qt6-base-dev libgl-dev         # Qt 6 Widgets and Qt Test
    libx11-dev                     # the keyboard's lock states for the status bar
    clang-14 libclang-rt-14-dev    # the sanitizer build and the fuzzers
    e2fsprogs util-linux           # chattr and mount for the real fault tests
    xvfb xauth xdotool imagemagick # screenshots in a real window
)

missing=()
for package in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if ((${#missing[@]} > 0)); then
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
