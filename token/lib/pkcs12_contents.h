// The private keys and certificates inside a PKCS#12 structure, decrypted with its password.
#pragma once

#include "driver.h"
#include "openssl_handles.h"
#include "secure_bytes.h"

#include <cstdint>
#include <vector>

namespace quillard {

struct Pkcs12Key {
    EvpPkeyPtr key;
    std::vector<uint8_t> localKeyId; // the bag's localKeyID attribute; empty when absent
};

struct Pkcs12Certificate {
    X509Ptr certificate;
    std::vector<uint8_t> localKeyId;
};

struct Pkcs12Contents {
    std::vector<Pkcs12Key> keys;                 // in file order
    std::vector<Pkcs12Certificate> certificates; // in file order, CA certificates included
};

// Checks `password` and decrypts every key and X.509 certificate of `p12`.
// An empty password is tried both as absent and as empty, because PKCS#12 derives different keys from the two
// and exporting tools use either. When the file has a MAC it decides: a MAC that does not match any candidate
// gives QR_WRONG_PASSWORD, and content that then fails to decrypt or decode gives QR_FILE_UNUSABLE (or
// QR_FUNCTION_NOT_SUPPORTED when the legacy provider its cipher needs is missing). Without a MAC, content
// that decrypts with no candidate gives QR_WRONG_PASSWORD.
Result readPkcs12Contents(PKCS12* p12, const SecureString& password, Pkcs12Contents& out);

} // namespace quillard
