#!/usr/bin/env bash
# Signatures per second through the virtual-key module and through SoftHSM2, side by side on this machine,
# each beside OpenSSL's own rate for the same operations and key kinds, measured in the same process in turns
# with the module (build/bin/module_sign_bench), and the module's share of it: it logs in to each token once
# and signs 32 bytes again and again with an RSA 2048 key (SHA256-RSA-PKCS) and an EC P-256 key (ECDSA over a
# SHA-256 digest). The virtual key is a demo key (pellorzu-vkey demo-set); the SoftHSM2 token gets key pairs
# of the same kinds from pkcs11-tool. Each benchmark runs on one processor, so that the module, OpenSSL and
# the module's folder watch share it as they would on a busy machine.
#
# Everything happens in a temporary folder of its own, removed at the end: its own SoftHSM2 token folder
# (SOFTHSM2_CONF) and its own XDG_DATA_HOME, never the machine's tokens or keys.
#
# Usage: bench/compare_signatures_with_softhsm.sh [SECONDS]   SECONDS of signing per key (2 by default).
# Build first (scripts/build.sh); BUILD_DIR and SOFTHSM2_MODULE may point elsewhere.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bin=${BUILD_DIR:-$here/build}/bin
seconds=${1:-2}

fail() {
    echo "compare_signatures_with_softhsm: $*" >&2
    exit 1
}

# shellcheck source=softhsm_peer.sh
source "$here/bench/softhsm_peer.sh"
softhsm=$(find_softhsm_module)
for program in module_sign_bench pellorzu-vkey pellorzu-vkey-pkcs11.so; do
    [ -e "$bin/$program" ] || fail "$bin/$program is missing; build first (scripts/build.sh)"
done

work=$(mktemp -d "${TMPDIR:-/tmp}/pellorzu-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/tokens" "$work/data" "$work/config"
cat >"$work/softhsm2.conf" <<CONF
directories.tokendir = $work/tokens
objectstore.backend = file
log.level = ERROR
CONF
export SOFTHSM2_CONF="$work/softhsm2.conf" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"

pin=12345678
echo "Making the virtual key and the SoftHSM2 token in $work ..."
"$bin/pellorzu-vkey" demo-set >/dev/null
softhsm2-util --init-token --free --label bench --so-pin 87654321 --pin "$pin" >/dev/null
for kind in rsa:2048 EC:prime256v1; do
    pkcs11-tool --module "$softhsm" --login --pin "$pin" --keypairgen --key-type "$kind" --label "${kind%%:*}" \
        --usage-sign >/dev/null 2>&1
done

# The first processor this shell may run on.
cpu=$(taskset -pc $$ | sed 's/.*: //; s/[,-].*//')

echo
echo "virtual key (PellorZu module, demo key 'Demo key 1'), on processor $cpu:"
taskset -c "$cpu" "$bin/module_sign_bench" "$bin/pellorzu-vkey-pkcs11.so" "Demo key 1" "$pin" "$seconds"
echo "SoftHSM2 $(softhsm2-util --version), on processor $cpu:"
taskset -c "$cpu" "$bin/module_sign_bench" "$softhsm" bench "$pin" "$seconds"
echo "(OpenSSL $(openssl version | cut -d' ' -f2) signing in turns with each module in the same process;"
echo " goal for the virtual key: a share of at least 0.95 for RSA 2048 and 0.9 for EC P-256)"
