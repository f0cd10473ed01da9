#!/usr/bin/env bash
# Runs the log data and core benchmarks on logs of different content: plain ASCII, one message
# in 200 with non-ASCII text, every message and some fields non-ASCII, and UTF-16LE; with
# --many-files also on logs of many small files. Missing logs are generated first and kept
# for the next run. Every benchmark runs under /usr/bin/time -v (for its peak resident
# memory) and under an address-space cap, so that a runaway fails alone instead of taking the
# machine down.
#
# Usage: bench/run-content-benchmarks.sh [options] [BUILD_DIR [DATA_DIR [SIZE]]]
#   BUILD_DIR      build folder with the benchmarks (default: build)
#   DATA_DIR       where the generated logs live (default: /tmp/kestrune-bench)
#   SIZE           bytes per log, e.g. 200M or 1G (powers of 1000, default: 1G)
#   --many-files   also run 10,000 files of one record each and 1,500 files of 200M in all
#   --4g           also index a 4 GB log of 4 files under a 2 GiB memory limit that the
#                  kernel enforces (a memory cgroup of its own; needs root)
#   --odd-dates    also run logs with dates of two shapes and with files out of date order
#   --mem-cap N    address-space cap in bytes for each program (default: 8 times the log on
#                  disk, at least 2 GiB and at most 16 GiB)
set -euo pipefail

usage() {
    sed -n '9,19s/^# \{0,1\}//p' "$0" >&2
    exit "${1:-2}"
}

many_files=false
four_gb=false
odd_dates=false
mem_cap=""
positional=()
while (($#)); do
    case "$1" in
    --many-files) many_files=true ;;
    --4g) four_gb=true ;;
    --odd-dates) odd_dates=true ;;
    --mem-cap)
        (($# > 1)) || usage
        mem_cap="$2"
        shift
        ;;
    -h | --help) usage 0 ;;
    -*) usage ;;
    *) positional+=("$1") ;;
    esac
    shift
done
((${#positional[@]} <= 3)) || usage
build_dir="${positional[0]:-build}"
data_dir="${positional[1]:-/tmp/kestrune-bench}"
size="${positional[2]:-1G}"

loggen="$build_dir/bench/kestrune-loggen"
bench_logdata="$build_dir/bench/logdata/kestrune-bench-logdata"
bench_core="$build_dir/bench/core/kestrune-bench-core"
bench_index="$build_dir/bench/logdata/kestrune-bench-index"
for program in "$loggen" "$bench_logdata" "$bench_core" "$bench_index"; do
    if [[ ! -x "$program" ]]; then
        echo "missing $program: build it first (cmake --build $build_dir --target $(basename "$program"))" >&2
        exit 1
    fi
done
for tool in /usr/bin/time prlimit; do
    command -v "$tool" >/dev/null || {
        echo "missing $tool (Debian packages time and util-linux)" >&2
        exit 1
    }
done

gib=$((1024 * 1024 * 1024))
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
summary=()

# Bytes of the .log files below a folder, as stored.
log_bytes() {
    find "$1" -name '*.log' -printf '%s\n' | awk '{ total += $1 } END { print total + 0 }'
}

megabytes() {
    awk -v bytes="$1" 'BEGIN { printf "%.1f MB", bytes / 1e6 }'
}

cap_for() {
    if [[ -n "$mem_cap" ]]; then
        echo "$mem_cap"
        return
    fi
    local cap=$((8 * $1))
    ((cap < 2 * gib)) && cap=$((2 * gib))
    ((cap > 16 * gib)) && cap=$((16 * gib))
    echo "$cap"
}

# Generates the log into FOLDER unless it is there; a partial folder never takes its place.
generate() {
    local folder="$1"
    shift
    [[ -d "$folder" ]] && return 0
    echo "generating $folder: kestrune-loggen $*"
    rm -rf "$folder.partial"
    "$loggen" --out "$folder.partial" "$@"
    mv "$folder.partial" "$folder"
}

# Prints the program's output, with the per-file lines of a log of many files cut short.
show_output() {
    awk '/^parse / && !/^parse (total|of)/ {
             if (++files <= 3) print; else skipped++
             next
         }
         { print }
         END { if (skipped) printf "(%d more lines of single files left out)\n", skipped }' "$1"
}

# Runs one benchmark program on a log under the cap and reports its peak resident memory.
run_measured() {
    local title="$1" label="$2" bytes="$3"
    shift 3
    local cap output="$work/output" errors="$work/errors" timing="$work/timing" status=0
    cap="$(cap_for "$bytes")"
    echo "--- $label (address space capped at $(megabytes "$cap"))"
    # Apart, as a crash leaves the program's buffered output cut off in mid-line.
    /usr/bin/time -v -o "$timing" prlimit --as="$cap" -- "$@" >"$output" 2>"$errors" || status=$?
    show_output "$output"
    sed 's/^/stderr: /' "$errors"
    local peak_kb signal
    peak_kb="$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$timing")"
    signal="$(sed -n 's/.*Command terminated by signal \([0-9]*\).*/\1/p' "$timing")"
    local result
    if [[ -n "$signal" ]]; then
        result="KILLED by signal $signal"
    elif ((status != 0)); then
        result="FAILED with exit status $status"
    else
        result="ok"
    fi
    local peak
    peak="$(awk -v kb="${peak_kb:-0}" -v bytes="$bytes" \
        'BEGIN { printf "peak resident %.0f MB, %.2f times the log on disk", kb * 1024 / 1e6, kb * 1024 / bytes }')"
    if [[ "$result" != ok ]]; then
        echo "*** $result (a cap of $(megabytes "$cap") may have been hit); $peak"
    else
        echo "$peak"
    fi
    summary+=("$(printf '%-38s %-24s %s; %s' "$title" "$label" "$result" "$peak")")
}

# Benchmarks one log: parse, search texts and filters, then opening and searching it in the
# core.
run_case() {
    local title="$1" folder="$2"
    shift 2
    generate "$folder" "$@"
    local bytes files
    bytes="$(log_bytes "$folder")"
    files="$(find "$folder" -name '*.log' | wc -l)"
    echo
    echo "=== $title: $files files, $(megabytes "$bytes") on disk ($folder)"
    run_measured "$title" kestrune-bench-logdata "$bytes" "$bench_logdata" "$folder"
    run_measured "$title" kestrune-bench-core "$bytes" "$bench_core" "$folder" Recorder
    run_measured "$title" kestrune-bench-index "$bytes" "$bench_index" "$folder" Recorder
}

# Runs a command in a memory cgroup of its own limited to LIMIT bytes (cgroup v2, else v1),
# so that the kernel, not an allocation, says when memory runs out.
in_memory_cgroup() {
    local limit="$1" group
    shift
    if [[ -f /sys/fs/cgroup/cgroup.controllers ]]; then
        group=/sys/fs/cgroup/kestrune-bench-$$
        mkdir "$group"
        echo "$limit" >"$group/memory.max"
        echo 0 >"$group/memory.swap.max" 2>/dev/null || true
        sh -c 'echo $$ > "$0/cgroup.procs" && exec "$@"' "$group" "$@" || status=$?
    else
        group=/sys/fs/cgroup/memory/kestrune-bench-$$
        mkdir "$group"
        echo "$limit" >"$group/memory.limit_in_bytes"
        sh -c 'echo $$ > "$0/tasks" && exec "$@"' "$group" "$@" || status=$?
    fi
    rmdir "$group" 2>/dev/null || true
    return "${status:-0}"
}

# A log four times the usual one, indexed, filtered, searched and copied under 2 GiB.
run_four_gigabytes() {
    local folder="$data_dir/ascii-4G-4files" output="$work/output" status=0
    generate "$folder" --size 4G --files 4 --seed 9
    echo
    echo "=== 4 GB in 4 files under a 2 GiB memory cgroup ($folder)"
    in_memory_cgroup $((2 * gib)) "$bench_index" "$folder" Recorder >"$output" 2>&1 || status=$?
    cat "$output"
    local result=ok
    ((status == 0)) || result="FAILED or KILLED (exit status $status)"
    echo "$result"
    summary+=("$(printf '%-38s %-24s %s' "4 GB in 4 files, 2 GiB cgroup" kestrune-bench-index "$result")")
}

mkdir -p "$data_dir"
common=(--files 3 --seed 7)
run_case "ASCII" "$data_dir/ascii-$size" --size "$size" "${common[@]}"
run_case "non-ASCII in 1 message of 200" "$data_dir/nonascii-1in200-$size" \
    --size "$size" "${common[@]}" --non-ascii 1/200
run_case "non-ASCII in every message and field" "$data_dir/nonascii-all-$size" \
    --size "$size" "${common[@]}" --non-ascii all --non-ascii-fields
run_case "UTF-16LE" "$data_dir/utf16-$size" --size "$size" "${common[@]}" --utf16
if $many_files; then
    run_case "10,000 files of one record" "$data_dir/files-10000x1" \
        --files 10000 --records-per-file 1 --seed 7
    run_case "1,500 files, 200M in all" "$data_dir/files-1500-200M" \
        --files 1500 --size 200M --seed 7
fi

if $odd_dates; then
    run_case "dates of two shapes" "$data_dir/mixed-dates-$size" \
        --size "$size" "${common[@]}" --mixed-date-shapes
    run_case "out of date order by up to 50 ms" "$data_dir/out-of-order-$size" \
        --size "$size" "${common[@]}" --out-of-order 50
fi

if $four_gb; then
    run_four_gigabytes
fi

echo
echo "=== Summary"
printf '%s\n' "${summary[@]}"
