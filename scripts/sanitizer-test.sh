#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer (gcc) into build-asan/ (or
# $ASAN_BUILD_DIR) and runs every test there. Any sanitizer finding fails the run.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${ASAN_BUILD_DIR:-$here/build-asan}
flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
cmake -S "$here" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=gcc \
    -DCMAKE_CXX_COMPILER=g++ -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
ninja -C "$build_dir" -j"${JOBS:-2}"
cd "$build_dir"
# Full stacks on allocation, so the one suppression can name the OpenSSL function behind the leak.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:fast_unwind_on_malloc=0
export LSAN_OPTIONS=suppressions=$here/tests/sanitizers/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --timeout 1800
