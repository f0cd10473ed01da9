#!/usr/bin/env bash
# Writes a folder tree of empty files for the folder-scan benchmark: FILES files (default
# 200000), 200 to a folder, the folders two levels deep; nine files in ten are named
# Service<k>_<n>.log over LOGS service names (default 1000), the tenth is notes<n>.txt.
# Usage: bench/make-folder-tree.sh <folder> [FILES [LOGS]]
set -euo pipefail
if [ $# -lt 1 ]; then
    echo "usage: $0 <folder> [FILES [LOGS]]" >&2
    exit 2
fi
root=$1
files=${2:-200000}
logs=${3:-1000}
mkdir -p "$root"
cd "$root"
# Prints the folders when what is "folders", else the files.
paths() {
    awk -v files="$files" -v logs="$logs" -v what="$1" 'BEGIN {
        for (n = 0; n < files; ++n) {
            folder = sprintf("d%03d/e%03d", int(n / 20000), int(n / 200) % 100);
            if (what == "folders") {
                if (n % 200 == 0)
                    print folder;
            } else if (n % 10 == 9) {
                printf "%s/notes%d.txt\n", folder, n;
            } else {
                printf "%s/Service%d_%d.log\n", folder, n % logs, n;
            }
        }
    }'
}
paths folders | xargs -r mkdir -p
paths files | xargs -r touch
echo "$(find . -type f | wc -l) files in $(find . -mindepth 1 -type d | wc -l) folders below $root"
