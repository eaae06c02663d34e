#!/usr/bin/env bash
# Side by side on this machine, three whole processes: one that logs in to a virtual key with 65 containers
# and reads all of it through libquillard's exported functions (build/bin/key_read_process), the same read
# through libquillard's PKCS#11 driver of a SoftHSM2 token that holds the same 390 objects (130 EC P-256
# pairs: certificate, public key and private key each), and `pkcs11-tool -O -l` listing that token. Prints
# the median wall time of each and the ratios to pkcs11-tool.
#
# Everything happens in a temporary folder of its own, removed at the end: its own SoftHSM2 token folder
# (SOFTHSM2_CONF) and its own XDG_DATA_HOME for the virtual key, never the machine's tokens or keys. The
# virtual key uses the benchmarks' cheap PIN key derivation (16 iterations, bench/key_fill.h); every other
# key keeps the default.
#
# Usage: bench/compare_with_softhsm.sh [RUNS]   RUNS timed runs of each program (21 by default), after one
# untimed run of each. Build first (scripts/build.sh); BUILD_DIR and SOFTHSM2_MODULE may point elsewhere.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bin=${BUILD_DIR:-$here/build}/bin
runs=${1:-21}

fail() {
    echo "compare_with_softhsm: $*" >&2
    exit 1
}

# shellcheck source=softhsm_peer.sh
source "$here/bench/softhsm_peer.sh"
module=$(find_softhsm_module)
for program in key_read_process bench_fixture; do
    [ -x "$bin/$program" ] || fail "$bin/$program is missing; build first (scripts/build.sh)"
done

work=$(mktemp -d "${TMPDIR:-/tmp}/pellorzu-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/tokens" "$work/data" "$work/config"
cat >"$work/softhsm2.conf" <<EOF
directories.tokendir = $work/tokens
objectstore.backend = file
log.level = ERROR
EOF
export SOFTHSM2_CONF="$work/softhsm2.conf" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"

user_pin=12345678 # bench/key_read.h
label=pellorzu-bench
echo "Making the virtual key and the SoftHSM2 token in $work ..."
softhsm2-util --init-token --free --label "$label" --so-pin 87654321 --pin "$user_pin" >/dev/null
"$bin/bench_fixture" "$module" "$label"

ours=("$bin/key_read_process")
token=("$bin/key_read_process" "$module")
theirs=(pkcs11-tool --module "$module" -O -l --pin "$user_pin")

# All must read all 390 objects.
read_by_ours=$("${ours[@]}")
[ "$read_by_ours" = "390 objects in 65 containers" ] || fail "key_read_process read: $read_by_ours"
read_from_token=$("${token[@]}")
[ "$read_from_token" = "390 objects in 65 containers" ] || fail "key_read_process $module read: $read_from_token"
listed_by_theirs=$("${theirs[@]}" 2>/dev/null | grep -c "Object;" || true)
[ "$listed_by_theirs" = 390 ] || fail "pkcs11-tool listed $listed_by_theirs objects, not 390"

elapsed=0
run_timed() {
    local start=$EPOCHREALTIME
    "$@" >/dev/null 2>&1 || fail "failed: $*"
    local end=$EPOCHREALTIME
    elapsed=$((10#${end//[.,]/} - 10#${start//[.,]/}))
}

median_ms() {
    printf '%s\n' "$@" | sort -n | awk '{ t[NR] = $1 } END { printf "%.1f", t[int((NR + 1) / 2)] / 1000 }'
}

echo "Timing $runs runs of each, taking turns ..."
times_ours=()
times_token=()
times_theirs=()
run_timed "${ours[@]}"
run_timed "${token[@]}"
run_timed "${theirs[@]}"
for ((run = 0; run < runs; run++)); do
    run_timed "${ours[@]}"
    times_ours+=("$elapsed")
    run_timed "${token[@]}"
    times_token+=("$elapsed")
    run_timed "${theirs[@]}"
    times_theirs+=("$elapsed")
done

ms_ours=$(median_ms "${times_ours[@]}")
ms_token=$(median_ms "${times_token[@]}")
ms_theirs=$(median_ms "${times_theirs[@]}")
printf '%-62s %7s ms\n' "virtual key: log in and read 65 containers (one process)" "$ms_ours"
printf '%-62s %7s ms\n' "SoftHSM2 token through libquillard: the same read" "$ms_token"
printf '%-62s %7s ms\n' "pkcs11-tool -O -l: SoftHSM2 token, the same 390 objects" "$ms_theirs"
awk -v a="$ms_ours" -v t="$ms_token" -v b="$ms_theirs" -v n="$runs" 'BEGIN {
    printf "ratio virtual key / pkcs11-tool %.2f (goal: at most 0.5)\n", a / b
    printf "ratio token through libquillard / pkcs11-tool %.2f (goal: at most 0.7)\n", t / b
    printf "(medians of %d runs each)\n", n
}'
