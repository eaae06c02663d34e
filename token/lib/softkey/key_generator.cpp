#include "key_generator.h"

#include "softkey_error.h"
#include "token/lib/key_description.h"
#include "token/lib/openssl_providers.h"

namespace quillard::softkey {

bool KeyGenerator::supports(int32_t algorithm, int32_t bits) {
    if (algorithm == AlgorithmRsa)
        return bits == 2048 || bits == 3072 || bits == 4096;
    return algorithm == AlgorithmEcc && (bits == 256 || bits == 384);
}

SecureBytes KeyGenerator::generate(int32_t algorithm, int32_t bits) {
    if (!supports(algorithm, bits))
        throw SoftkeyError(QR_ARGUMENTS_BAD,
                           "the key generates RSA 2048, 3072 or 4096 and EC P-256 or P-384 keys");
    EvpPkeyPtr key(algorithm == AlgorithmRsa
                       ? EVP_PKEY_Q_keygen(libraryContext(), nullptr, "RSA", static_cast<size_t>(bits))
                       : EVP_PKEY_Q_keygen(libraryContext(), nullptr, "EC", bits == 256 ? "P-256" : "P-384"));
    SecureBytes pkcs8;
    if (!key || encodePrivateKey(key.get(), pkcs8) != QR_OK)
        throw SoftkeyError(QR_GENERAL_ERROR, "the key pair could not be generated");
    return pkcs8;
}

} // namespace quillard::softkey
