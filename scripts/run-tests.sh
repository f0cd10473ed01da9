#!/usr/bin/env bash
# Installs what is needed, builds Kestrune with its tests and runs every test: the test
# suites, QML lint and the formatting check. With --sanitize the suites run a second time
# in a build with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
sanitize=0
[ "${1:-}" = "--sanitize" ] && sanitize=1

scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen

echo "== formatting"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

echo "== build"
scripts/build.sh build -DKESTRUNE_WARNINGS_AS_ERRORS=ON
echo "== qmllint"
cmake --build build --target all_qmllint
echo "== tests"
(cd build && ctest --output-on-failure --timeout 600)

if [ $sanitize = 1 ]; then
    echo "== tests with AddressSanitizer and UndefinedBehaviorSanitizer"
    scripts/build.sh build-asan -DKESTRUNE_SANITIZE=ON -DKESTRUNE_BUILD_BENCH=OFF
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1
    export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    (cd build-asan && ctest --output-on-failure --timeout 1200)

    echo "== parser fuzzing: corpus replay and a short run with a fixed seed"
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DKESTRUNE_BUILD_FUZZ=ON -DKESTRUNE_BUILD_TESTS=OFF -DKESTRUNE_BUILD_BENCH=OFF
    cmake --build build-fuzz --target kestrune-fuzz-parser
    fuzz_corpus=$(mktemp -d)
    cp fuzz/corpus/* "$fuzz_corpus"
    fuzz_log=$(mktemp)
    if ! build-fuzz/fuzz/kestrune-fuzz-parser -seed=1 -runs=20000 -max_len=4096 \
        "$fuzz_corpus" > "$fuzz_log" 2>&1; then
        cat "$fuzz_log"
        exit 1
    fi
    grep -E '^Done [0-9]+ runs' "$fuzz_log"
    rm -rf "$fuzz_corpus" "$fuzz_log"
fi
