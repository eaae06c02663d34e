# Sourced by the side-by-side benchmarks: checks that SoftHSM2 and pkcs11-tool are there and prints the path of
# SoftHSM2's module (SOFTHSM2_MODULE, or where Debian puts it). The caller defines fail().
find_softhsm_module() {
    local tool candidate
    for tool in softhsm2-util pkcs11-tool; do
        command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps.sh installs it)"
    done
    if [ -n "${SOFTHSM2_MODULE:-}" ]; then
        echo "$SOFTHSM2_MODULE"
        return
    fi
    for candidate in /usr/lib/softhsm/libsofthsm2.so /usr/lib/x86_64-linux-gnu/softhsm/libsofthsm2.so; do
        if [ -e "$candidate" ]; then
            echo "$candidate"
            return
        fi
    done
    fail "libsofthsm2.so not found; set SOFTHSM2_MODULE"
}
