#!/usr/bin/env bash
# Installs the Debian 12 packages Kivra builds and runs with, only those that are missing.
set -eu
packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev qt6-l10n-tools qt6-tools-dev
    qt6-charts-dev libqt6opengl6-dev qt6-svg-dev
    libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev ffmpeg
    libmediainfo-dev libmediainfo0v5
    libopencv-core-dev libopencv-imgproc-dev libopencv-video-dev
    libgtest-dev googletest
    fonts-noto-cjk qt6-translations-l10n xvfb xauth imagemagick poppler-utils
    dpkg-dev file
)
missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing missing packages: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
    apt-get install -y -q --no-install-recommends "${missing[@]}"
elif command -v sudo >/dev/null 2>&1; then
    sudo apt-get update -q
    sudo DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
else
    echo "These packages are missing and installing them needs root:" >&2
    echo "  apt-get install ${missing[*]}" >&2
    exit 1
fi
