#!/usr/bin/env bash
# Signatures per second through the virtual-key module and through SoftHSM2, side by side on this machine,
# beside OpenSSL's own rate for the same operations (openssl speed rsa2048 ecdsap256) and the module's share
# of it: build/bin/module_sign_bench logs in to each token once and signs 32 bytes again and again with an
# RSA 2048 key (SHA256-RSA-PKCS) and an EC P-256 key (ECDSA over a SHA-256 digest). The virtual key is a demo
# key (pellorzu-vkey demo-set); the SoftHSM2 token gets key pairs of the same kinds from pkcs11-tool.
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

echo
echo "virtual key (PellorZu module, demo key 'Demo key 1'):"
module_rates=$("$bin/module_sign_bench" "$bin/pellorzu-vkey-pkcs11.so" "Demo key 1" "$pin" "$seconds")
echo "$module_rates"
echo "SoftHSM2 $(softhsm2-util --version):"
"$bin/module_sign_bench" "$softhsm" bench "$pin" "$seconds"

# openssl speed prints "rsa 2048 bits <sign s> <verify s> <sign/s> <verify/s>" and
# " 256 bits ecdsa (nistp256) <sign s> <verify s> <sign/s> <verify/s>".
echo "OpenSSL $(openssl version | cut -d' ' -f2) itself (openssl speed -seconds $seconds rsa2048 ecdsap256):"
speed=$(openssl speed -seconds "$seconds" rsa2048 ecdsap256 2>/dev/null)
openssl_rsa=$(awk '$1 == "rsa" && $2 == "2048" {print $6}' <<<"$speed")
openssl_ec=$(awk '$3 == "ecdsa" && $4 == "(nistp256)" {print $7}' <<<"$speed")
[ -n "$openssl_rsa" ] && [ -n "$openssl_ec" ] || fail "cannot read openssl speed's figures"
printf 'RSA-2048 sign             %10.0f signatures/s\n' "$openssl_rsa"
printf 'EC P-256 ECDSA sign       %10.0f signatures/s\n' "$openssl_ec"
module_rsa=$(awk '$1 == "RSA-2048" {print $3}' <<<"$module_rates")
module_ec=$(awk '$1 == "EC" {print $5}' <<<"$module_rates")
echo "the module's share of OpenSSL's rate (goal: at least 0.95 for RSA 2048, 0.9 for EC P-256):"
awk -v m="$module_rsa" -v o="$openssl_rsa" 'BEGIN {printf "RSA-2048 %.2f\n", m / o}'
awk -v m="$module_ec" -v o="$openssl_ec" 'BEGIN {printf "EC P-256 %.2f\n", m / o}'
