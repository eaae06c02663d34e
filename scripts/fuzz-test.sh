#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang into build-fuzz/ (or $FUZZ_BUILD_DIR) and runs each
# for FUZZ_SECONDS (default 20) on its seed corpus, as a regression test. New inputs go to a scratch folder,
# never into the repository; a finding is left in build-fuzz/findings/ and fails the run.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${FUZZ_BUILD_DIR:-$here/build-fuzz}
seconds=${FUZZ_SECONDS:-20}
cmake -S "$here" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
    -DCMAKE_CXX_COMPILER=clang++ -DPELLORZU_FUZZ=ON >/dev/null
ninja -C "$build_dir" -j"${JOBS:-2}" fuzzers
mkdir -p "$build_dir/findings"
export ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0
export LSAN_OPTIONS=suppressions=$here/tests/sanitizers/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for seeds in "$here"/tests/fuzz/corpus/*/; do
    target=$(basename "$seeds")
    scratch=$(mktemp -d)
    echo "Fuzzing $target for ${seconds}s"
    "$build_dir/bin/$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=0 \
        -artifact_prefix="$build_dir/findings/$target-" "$scratch" "$seeds" 2>"$build_dir/findings/$target.log" ||
        { tail -40 "$build_dir/findings/$target.log"; rm -rf "$scratch"; exit 1; }
    rm -rf "$scratch"
done
