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
    -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DCMAKE_MODULE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
ninja -C "$build_dir" -j"${JOBS:-2}"
cd "$build_dir"
# The virtual-key module is built with the sanitizers too. The tools that load it (modutil from the system
# store registration, certutil in its test, pkcs11-tool and ssh-keygen in the enrolment test) are not, so they
# find the sanitizer runtime preloaded through wrappers first on the PATH; their own leaks are theirs, not ours. (tests/module/programs_test.sh
# does the same for the programs it runs.)
wrappers=$build_dir/sanitizer-wrappers
mkdir -p "$wrappers"
runtimes="$(gcc -print-file-name=libasan.so) $(gcc -print-file-name=libubsan.so)"
for tool in modutil certutil pkcs11-tool ssh-keygen; do
    real=$(command -v "$tool")
    printf '#!/bin/sh\nLD_PRELOAD="%s" ASAN_OPTIONS=detect_leaks=0:verify_asan_link_order=0 exec %s "$@"\n' \
        "$runtimes" "$real" >"$wrappers/$tool"
    chmod 755 "$wrappers/$tool"
done
export PATH=$wrappers:$PATH
# Full stacks on allocation, so the one suppression can name the OpenSSL function behind the leak.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:fast_unwind_on_malloc=0
export LSAN_OPTIONS=suppressions=$here/tests/sanitizers/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --timeout 1800
