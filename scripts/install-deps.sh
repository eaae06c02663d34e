#!/usr/bin/env bash
# Installs the Debian packages the build, the tool and the tests need; does nothing when all are present.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config clang-format clang
    qt6-base-dev qt6-base-private-dev qt6-qpa-plugins libgl1-mesa-dev libssl-dev libsqlite3-dev libudev-dev libp11-kit-dev
    googletest libgtest-dev libbenchmark-dev
    softhsm2 opensc xvfb xauth imagemagick
    # Provisioning records shared by several stations: libpq, and a PostgreSQL server the tests start.
    libpq-dev postgresql
    # The Debian package: its icons drawn from the SVG, and the checks of scripts/package-test.sh.
    librsvg2-bin dpkg-dev lintian appstream desktop-file-utils
    # Programs that drive the PKCS#11 module in tests and the NSS registration: GnuTLS's p11tool and
    # gnutls-cli, NSS's modutil and certutil, p11-kit, and OpenSSL's pkcs11 engine (openssl req -engine pkcs11).
    gnutls-bin libnss3-tools p11-kit libengine-pkcs11-openssl
    # The fonts the language files name: DejaVu Sans Condensed (English) and WenQuanYi Zen Hei (Chinese).
    fonts-dejavu-core fonts-dejavu-extra fonts-wqy-zenhei
    # ssh-keygen -D lists a PKCS#11 module's keys, to compare with pellorzu-cli ssh-key in tests.
    openssh-client
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    if [ "$(id -u)" -ne 0 ]; then
        echo "Some packages are missing and this is not root: run as root or install them by hand." >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
