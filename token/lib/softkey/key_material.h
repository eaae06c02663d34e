// Reads what a key holds from its DER forms with OpenSSL: the algorithm code and size of a public or private
// key, and whether a private key belongs to a public key. The virtual key keeps RSA and EC keys only.
#pragma once

#include "token/lib/credential.h"
#include "token/lib/secure_bytes.h"

#include <cstdint>
#include <vector>

namespace quillard::softkey {

class KeyMaterial {
public:
    // The algorithm and bits of a DER SubjectPublicKeyInfo (publicKeyDer is set to it). Throws SoftkeyError:
    // QR_ARGUMENTS_BAD when it does not parse, QR_FUNCTION_NOT_SUPPORTED for a key neither RSA nor EC.
    static KeyDescription describePublicKey(const std::vector<uint8_t>& spki);
    // The same for a PKCS#8 PrivateKeyInfo; publicKeyDer stays empty.
    static KeyDescription describePrivateKey(const SecureBytes& pkcs8);
    // True when the PKCS#8 private key is the private half of the SubjectPublicKeyInfo.
    static bool isPair(const SecureBytes& pkcs8, const std::vector<uint8_t>& spki);
};

} // namespace quillard::softkey
