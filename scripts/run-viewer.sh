#!/usr/bin/env bash
# Installs what is needed, builds Kestrune and starts it on the sample logs.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
exec build/bin/Kestrune "$@" examples/logs
