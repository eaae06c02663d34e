// Key pairs and self-signed certificates made with OpenSSL, for demo keys and for tests.
#pragma once

#include "token/lib/credential.h"

#include <filesystem>
#include <string>

namespace quillard::demo {

enum class KeyType { Rsa2048, EcP256 };

// A fresh key pair with a self-signed certificate for `commonName`, valid from now for `days` days. The
// credential carries certificate, public key (with algorithm and bits) and the PKCS#8 private key.
Credential makeSelfSignedCredential(KeyType type, const std::string& commonName, int days = 365);

// When a certificate is valid, in seconds from now (negative for the past).
struct Validity {
    long fromSeconds = 0;
    long untilSeconds = 365L * 86400;
};

// A fresh key pair with a certificate for `commonName` valid over `validity`, signed by `issuer` (which
// needs its private key) or, without one, by itself. `authority` makes it a CA certificate that may sign
// others.
Credential makeCredential(KeyType type, const std::string& commonName, Validity validity,
                          const Credential* issuer = nullptr, bool authority = false);

// Writes `credential` as a PKCS#12 file protected by `password`. `legacy` uses the RC2/3DES encryption of
// older Windows exports instead of AES. Returns false with a message in `error` when it cannot.
bool writePkcs12File(const std::filesystem::path& path, const Credential& credential,
                     const std::string& password, bool legacy, std::string* error = nullptr);

// Writes the certificate as DER, or as PEM when `pem` is true.
bool writeCertificateFile(const std::filesystem::path& path, const Credential& credential, bool pem,
                          std::string* error = nullptr);

} // namespace quillard::demo
