#!/usr/bin/env bash
# Drives the PKCS#11 module over the virtual keys with the programs of the machine (OpenSC's pkcs11-tool,
# GnuTLS's p11tool and gnutls-cli, OpenSSL) on demo keys in a world of its own, and fails on the first
# answer that is not what a program must get. Usage: programs_test.sh <folder of the built programs>
set -euo pipefail

bin=$(cd "$1" && pwd)
module=$bin/pellorzu-vkey-pkcs11.so
vkey=$bin/pellorzu-vkey
user_pin=12345678

for program in pkcs11-tool p11tool gnutls-cli gnutls-serv openssl; do
    command -v "$program" >/dev/null || { echo "missing program: $program (scripts/install-deps.sh installs it)" >&2; exit 1; }
done

world=$(mktemp -d)
server_pid=
cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
    rm -rf "$world"
}
trap cleanup EXIT
export XDG_DATA_HOME=$world/data XDG_CONFIG_HOME=$world/config HOME=$world/home
mkdir -p "$HOME"
cd "$world"

# A module built with the sanitizers needs the sanitizer runtime preloaded into these uninstrumented programs,
# and then gnutls-cli, its handshake done, hangs at exit in p11-kit's library destructor (freelocale waiting
# for glibc's locale lock). So the sanitizer build skips these checks (ctest shows them skipped); the C-level
# suite module_tests covers the module there.
# (ldd's list is read whole first: with pipefail, grep -q leaving early could fail the pipe and miss it.)
linked=$(ldd "$module")
if grep -q 'libasan\.so' <<<"$linked"; then
    echo "skipped: the module is built with AddressSanitizer; program-driven checks run in the normal build"
    exit 77
fi

fail() {
    echo "FAILED: $*" >&2
    exit 1
}
step() { echo "--- $*"; }
p11() { pkcs11-tool --module "$module" "$@"; }
p11_user() { p11 --login --pin "$user_pin" "$@"; }
expect_in() { # expect_in TEXT PATTERN WHAT
    grep -q -- "$2" <<<"$1" || { echo "$1" >&2; fail "$3"; }
}

"$vkey" demo-set >/dev/null

step "module and slot information"
info=$(p11 -I)
expect_in "$info" "Manufacturer *Norvale" "C_GetInfo names the maker"
expect_in "$info" "Library *PellorZu virtual keys" "C_GetInfo describes the library"
slots=$(p11 -L)
for serial in PZDEMO0001 PZDEMO0002 PZDEMO0003; do
    expect_in "$slots" "PellorZu virtual key $serial" "a slot for $serial"
done
expect_in "$slots" "token label *: Demo key 1" "the token label is the key's"

step "objects before and after login"
public=$(p11 -O)
expect_in "$public" "Certificate Object" "certificates are public"
grep -q "Private Key Object" <<<"$public" && fail "private keys show without a login"
private=$(p11_user -O)
expect_in "$private" "Private Key Object" "private keys show after the login"
expect_in "$private" "Access: *sensitive" "private keys are sensitive"
grep -q "extractable" <<<"$private" && fail "a private key is extractable"

step "pkcs11-tool --test"
tested=$(p11_user --test 2>&1) || { echo "$tested" >&2; fail "pkcs11-tool --test"; }
expect_in "$tested" "No errors" "pkcs11-tool --test finds no errors"
expect_in "$tested" "RSA-PKCS: OK" "pkcs11-tool --test signs"
grep -q "Signatures: not implemented" <<<"$tested" && fail "pkcs11-tool --test skipped the signatures"

# The demo key's first container holds an RSA exchange pair, its second an EC P-256 pair.
object_id() { # object_id LABEL-PATTERN KIND: the CKA_ID of the first such object
    p11 -O --type "$2" | awk -v label="$1" '$1 == "label:" && $0 ~ label {found = 1} found && $1 == "ID:" {print $2; exit}'
}
rsa_id=$(object_id RSA2048 cert)
ec_id=$(object_id ECP256 cert)
[ -n "$rsa_id" ] && [ -n "$ec_id" ] || fail "the demo certificates' CKA_IDs"
p11 --read-object --type cert --id "$rsa_id" -o rsa.der >/dev/null
p11 --read-object --type cert --id "$ec_id" -o ec.der >/dev/null
openssl x509 -inform der -in rsa.der -pubkey -noout >rsa-pub.pem
openssl x509 -inform der -in ec.der -pubkey -noout >ec-pub.pem
head -c 1000 /dev/urandom >data.bin

step "signatures verified by OpenSSL against the key's certificates"
p11_user --sign -m SHA256-RSA-PKCS --id "$rsa_id" -i data.bin -o rsa.sig >/dev/null
openssl dgst -sha256 -verify rsa-pub.pem -signature rsa.sig data.bin >/dev/null || fail "SHA256-RSA-PKCS signature"
p11_user --sign -m SHA384-RSA-PKCS-PSS --mgf MGF1-SHA384 --salt-len 48 --id "$rsa_id" -i data.bin -o pss.sig >/dev/null
openssl dgst -sha384 -sigopt rsa_padding_mode:pss -sigopt rsa_pss_saltlen:48 -sigopt rsa_mgf1_md:sha384 \
    -verify rsa-pub.pem -signature pss.sig data.bin >/dev/null || fail "SHA384-RSA-PKCS-PSS signature"
p11_user --sign -m ECDSA-SHA256 --signature-format openssl --id "$ec_id" -i data.bin -o ec.sig >/dev/null
openssl dgst -sha256 -verify ec-pub.pem -signature ec.sig data.bin >/dev/null || fail "ECDSA-SHA256 signature"
openssl dgst -sha512 -binary data.bin >data.sha512
p11_user --sign -m ECDSA --signature-format openssl --id "$ec_id" -i data.sha512 -o ecraw.sig >/dev/null
openssl pkeyutl -verify -pubin -inkey ec-pub.pem -in data.sha512 -sigfile ecraw.sig >/dev/null || fail "raw ECDSA signature"

step "decryption with the exchange key"
head -c 100 /dev/urandom >secret.bin
openssl pkeyutl -encrypt -pubin -inkey rsa-pub.pem -in secret.bin -out secret.pkcs1
p11_user --decrypt -m RSA-PKCS --id "$rsa_id" -i secret.pkcs1 -o plain.pkcs1 >/dev/null
cmp -s secret.bin plain.pkcs1 || fail "RSA-PKCS decryption"
openssl pkeyutl -encrypt -pubin -inkey rsa-pub.pem -pkeyopt rsa_padding_mode:oaep -pkeyopt rsa_oaep_md:sha256 \
    -pkeyopt rsa_mgf1_md:sha256 -in secret.bin -out secret.oaep
p11_user --decrypt -m RSA-PKCS-OAEP --hash-algorithm SHA256 --mgf MGF1-SHA256 --id "$rsa_id" -i secret.oaep \
    -o plain.oaep >/dev/null
cmp -s secret.bin plain.oaep || fail "RSA-PKCS-OAEP decryption"

step "key-pair generation into a container"
for kind in rsa:2048 EC:secp384r1; do
    label="Generated ${kind%%:*}"
    p11_user --keypairgen --key-type "$kind" --label "$label" --usage-sign >/dev/null
    id=$(object_id "$label" pubkey)
    [ -n "$id" ] || fail "the new $kind key's CKA_ID"
    # GnuTLS reads the public key back (pkcs11-tool 0.23 cannot rebuild EC public keys with OpenSSL 3).
    p11tool --provider "$module" --export "pkcs11:serial=PZDEMO0001;object=${label// /%20};type=public" >gen.pem
    if [ "${kind%%:*}" = rsa ]; then mechanism=SHA256-RSA-PKCS; format=(); else mechanism=ECDSA-SHA256; format=(--signature-format openssl); fi
    p11_user --sign -m "$mechanism" "${format[@]}" --id "$id" -i data.bin -o gen.sig >/dev/null
    openssl dgst -sha256 -verify gen.pem -signature gen.sig data.bin >/dev/null || fail "signature of the new $kind key"
done
p11_user --keypairgen --key-type rsa:2048 --label "Generated rsa" --usage-sign >/dev/null 2>&1 &&
    fail "a second key pair replaced the one in the container"
"$vkey" list | grep -q "PZDEMO0001 .* 4 " || fail "the command line sees the generated containers"

step "wrong PINs count down as the key's own counter"
p11 --login --pin 00000000 -O >/dev/null 2>&1 && fail "a wrong PIN was accepted"
p11 --login --pin 00000000 -O >/dev/null 2>&1 && fail "a wrong PIN was accepted"
expect_in "$(p11 -L)" "user PIN count low" "the token reports CKF_USER_PIN_COUNT_LOW"
"$vkey" list | grep -q "PZDEMO0001 .* 8/10 left" || fail "the command line sees 8 retries left"
p11_user -O >/dev/null
"$vkey" list | grep -q "PZDEMO0001 .* 10/10 left" || fail "a right PIN restores the counter"

step "p11tool lists the objects by PKCS#11 URL"
listed=$(GNUTLS_PIN=$user_pin p11tool --provider "$module" --login --list-all "pkcs11:serial=PZDEMO0001")
expect_in "$listed" "URL: pkcs11:.*serial=PZDEMO0001.*type=cert" "certificate URLs"
expect_in "$listed" "URL: pkcs11:.*serial=PZDEMO0001.*type=private" "private key URLs"

step "pellorzu-cli certs --json gives each object a URI that names exactly it"
certs=$(printf '%s\n' "$user_pin" | "$bin/pellorzu-cli" certs PZDEMO0001 --json --pin-stdin)
uris=$(grep -o '"uri": *"pkcs11:[^"]*"' <<<"$certs" | sed 's/^"uri": *"\(.*\)"$/\1/')
cert_uri=$(grep -m 1 'type=cert$' <<<"$uris" || true)
[ -n "$cert_uri" ] || { echo "$certs" >&2; fail "certs --json gives the certificates' URIs"; }
grep -q 'type=private$' <<<"$uris" || fail "certs --json gives the private keys' URIs"
[ "$(p11tool --provider "$module" --list-all-certs "$cert_uri" | grep -c 'URL:')" = 1 ] ||
    fail "a certificate's URI names that one certificate alone"
p11tool --provider "$module" --export "$cert_uri" | openssl x509 -outform der -out uri.der
cmp -s uri.der rsa.der || cmp -s uri.der ec.der || fail "a certificate's URI names a certificate of the key"

step "TLS client authentication with gnutls-cli against openssl s_server"
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout server.key -out server.pem \
    -subj /CN=localhost -addext subjectAltName=IP:127.0.0.1 -days 2 2>/dev/null
openssl x509 -inform der -in rsa.der -out client-ca.pem
start_server() {
    openssl s_server -accept 127.0.0.1:0 -naccept 1 -Verify 1 -verify_return_error -www -cert server.pem \
        -key server.key -CAfile client-ca.pem >server.log 2>&1 </dev/null &
    server_pid=$!
    for _ in $(seq 50); do
        port=$(sed -n 's/^ACCEPT .*:\([0-9]*\)$/\1/p' server.log)
        [ -n "$port" ] && return
        sleep 0.1
    done
    fail "openssl s_server did not start"
}
url="pkcs11:serial=PZDEMO0001;id=$(sed 's/../%&/g' <<<"$rsa_id")"
connect() {
    printf 'GET / HTTP/1.0\r\n\r\n' | timeout 60 gnutls-cli --provider "$module" --x509cafile server.pem \
        --x509certfile "$url;type=cert" --x509keyfile "$url;type=private?pin-value=$user_pin" -p "$port" 127.0.0.1
}
start_server
connect >client.log 2>&1 || { cat client.log server.log >&2; fail "gnutls-cli with the virtual key"; }
expect_in "$(cat client.log)" "Handshake was completed" "the handshake completes"
expect_in "$(cat client.log)" "PellorZu Demo RSA 2048 Exchange PZDEMO0001" "the server saw the key's certificate"
wait "$server_pid" || true
server_pid=

"$vkey" unplug PZDEMO0001 >/dev/null
start_server
connect >client.log 2>&1 && fail "gnutls-cli authenticated with an unplugged key"
grep -q "Handshake was completed" client.log && fail "a handshake completed without the key"
kill "$server_pid" 2>/dev/null || true
wait "$server_pid" 2>/dev/null || true
server_pid=
"$vkey" plug PZDEMO0001 >/dev/null
expect_in "$(p11 -L)" "PellorZu virtual key PZDEMO0001" "the key is back after plugging it in"

step "certificate requests through OpenSSL's pkcs11 engine made the default, from key pairs generated on the key"
engine=$(find /usr/lib -path '*engines-3/pkcs11.so' 2>/dev/null | head -n 1)
[ -n "$engine" ] || fail "OpenSSL's pkcs11 engine is missing (scripts/install-deps.sh installs libengine-pkcs11-openssl)"
# The engine takes every algorithm of OpenSSL's default context, as such a configuration does in any program.
cat >engine.cnf <<CONF
openssl_conf = openssl_init
[openssl_init]
engines = engine_section
[engine_section]
pkcs11 = pkcs11_section
[pkcs11_section]
engine_id = pkcs11
dynamic_path = $engine
MODULE_PATH = $module
default_algorithms = ALL
init = 1
CONF
for kind in EC:prime256v1 rsa:2048; do
    label="Request${kind%%:*}"
    p11_user --keypairgen --key-type "$kind" --label "$label" --usage-sign >/dev/null
    id=$(object_id "$label" pubkey)
    [ -n "$id" ] || fail "the new $kind key's CKA_ID"
    key_url="pkcs11:serial=PZDEMO0001;id=$(sed 's/../%&/g' <<<"$id");type=private;pin-value=$user_pin"
    OPENSSL_CONF=$world/engine.cnf openssl req -new -engine pkcs11 -keyform engine -key "$key_url" \
        -subj "/CN=$label" -out "$label.csr" >req.log 2>&1 || { cat req.log >&2; fail "openssl req with the $kind key"; }
    openssl req -verify -noout -in "$label.csr" >/dev/null 2>&1 || fail "the request of the $kind key verifies"
done

step "gnutls-serv with its key on the virtual key serves before and after the key is pulled and plugged again"
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout client.key -out client.pem \
    -subj /CN=client -days 2 2>/dev/null
openssl x509 -inform der -in rsa.der -out server-cert.pem
serve() {
    for _ in 1 2 3 4 5; do
        port=$((20000 + RANDOM % 40000))
        gnutls-serv --port "$port" --require-client-cert --x509cafile client.pem --x509certfile server-cert.pem \
            --x509keyfile "$url;type=private?pin-value=$user_pin" --provider "$module" >serv.log 2>&1 </dev/null &
        server_pid=$!
        for _ in $(seq 100); do
            grep -q "listening" serv.log && return
            kill -0 "$server_pid" 2>/dev/null || break
            sleep 0.1
        done
        kill "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
    done
    cat serv.log >&2
    fail "gnutls-serv did not start"
}
serve_once() { # serve_once WHAT: one client with its own certificate against the running gnutls-serv
    printf 'GET / HTTP/1.0\r\n\r\n' | timeout 60 gnutls-cli --insecure --x509certfile client.pem \
        --x509keyfile client.key -p "$port" 127.0.0.1 >client.log 2>&1 || true
    expect_in "$(cat client.log)" "Handshake was completed" "$1"
}
serve
serve_once "a client is served with the key's certificate"
"$vkey" unplug PZDEMO0001 >/dev/null
"$vkey" plug PZDEMO0001 >/dev/null
serve_once "the same server serves again after the key was pulled and plugged in"
kill "$server_pid" 2>/dev/null || true
wait "$server_pid" 2>/dev/null || true
server_pid=

echo "all program checks passed"
