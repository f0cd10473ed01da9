#!/usr/bin/env bash
# Installs what building, running and testing Kestrune needs on Debian 12 (run as root).
set -euo pipefail

packages=(
    cmake ninja-build g++ clang libclang-rt-14-dev clang-format
    libjemalloc-dev libhyperscan-dev pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-declarative-dev qt6-declarative-dev-tools
    qt6-qmllint-plugins qt6-qpa-plugins libqt6svg6 libqt6quicktest6
    qml6-module-qtqml qml6-module-qtqml-models qml6-module-qtqml-workerscript
    qml6-module-qtquick qml6-module-qtquick-controls qml6-module-qtquick-templates
    qml6-module-qtquick-layouts qml6-module-qtquick-window qml6-module-qtquick-dialogs
    qml6-module-qt-labs-folderlistmodel dpkg-dev
    qml6-module-qttest
    libgl1-mesa-dri xvfb xauth imagemagick xdotool time util-linux
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed' || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi
