#!/usr/bin/env bash
# Configures and builds Kestrune into the given folder (default: build).
# Usage: scripts/build.sh [build-folder] [extra cmake arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."
folder=${1:-build}
shift || true
cmake -S . -B "$folder" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build "$folder"
