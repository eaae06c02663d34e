// What the certificate parsers hand to a driver: a certificate with its public key and, from a PKCS#12 file,
// its private key.
#pragma once

#include "secure_bytes.h"

#include <cstdint>
#include <vector>

namespace quillard {

enum KeyAlgorithm : int32_t { AlgorithmRsa = 0, AlgorithmEcc = 3 };

struct KeyDescription {
    int32_t algorithm = AlgorithmRsa; // AlgorithmRsa or AlgorithmEcc
    int32_t bits = 0;
    std::vector<uint8_t> publicKeyDer; // SubjectPublicKeyInfo; empty for a private-key query
};

struct Credential {
    std::vector<uint8_t> certificateDer;
    KeyDescription publicKey;
    SecureBytes privateKeyDer; // PKCS#8 PrivateKeyInfo; empty when the source holds no private key
};

} // namespace quillard
