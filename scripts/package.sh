#!/usr/bin/env bash
# Builds the Debian package of Kestrune into the given folder (default: build-package):
# a release build without tests or benchmarks, then cpack. Install it with
#   apt install ./build-package/kestrune_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
folder=${1:-build-package}
command -v dpkg-shlibdeps > /dev/null || {
    echo "dpkg-shlibdeps is missing: apt-get install dpkg-dev" >&2
    exit 1
}
cmake -S . -B "$folder" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DKESTRUNE_BUILD_TESTS=OFF -DKESTRUNE_BUILD_BENCH=OFF
cmake --build "$folder"
(cd "$folder" && cpack -G DEB)
ls "$folder"/kestrune_*.deb
