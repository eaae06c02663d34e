// Fresh key pairs for a key to keep: RSA of 2048, 3072 or 4096 bits, EC on P-256 or P-384, as the maker's key
// generates them on board.
#pragma once

#include "token/lib/credential.h"
#include "token/lib/secure_bytes.h"

#include <cstdint>

namespace quillard::softkey {

class KeyGenerator {
public:
    // True for the sizes above (bits 256 or 384 for AlgorithmEcc).
    static bool supports(int32_t algorithm, int32_t bits);
    // The new private key as PKCS#8. Throws SoftkeyError(QR_ARGUMENTS_BAD) for a size not supported,
    // QR_GENERAL_ERROR when OpenSSL fails.
    static SecureBytes generate(int32_t algorithm, int32_t bits);
};

} // namespace quillard::softkey
