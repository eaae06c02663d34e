#include "key_material.h"

#include "softkey_error.h"
#include "token/lib/key_description.h"

namespace quillard::softkey {

namespace {

EvpPkeyPtr parsePublicKey(const std::vector<uint8_t>& spki) {
    EvpPkeyPtr key = decodePublicKey(spki);
    if (!key)
        throw SoftkeyError(QR_ARGUMENTS_BAD, "the public key does not parse");
    return key;
}

EvpPkeyPtr parsePrivateKey(const SecureBytes& pkcs8) {
    EvpPkeyPtr key = decodePrivateKey(pkcs8);
    if (!key)
        throw SoftkeyError(QR_ARGUMENTS_BAD, "the private key does not parse");
    return key;
}

void throwUnlessDescribed(Result result) {
    if (result == QR_FUNCTION_NOT_SUPPORTED)
        throw SoftkeyError(result, "the key keeps RSA and EC keys only");
    if (result != QR_OK)
        throw SoftkeyError(result, "the key cannot be described");
}

} // namespace

KeyDescription KeyMaterial::describePublicKey(const std::vector<uint8_t>& spki) {
    KeyDescription description;
    throwUnlessDescribed(quillard::describePublicKey(spki, description));
    return description;
}

KeyDescription KeyMaterial::describePrivateKey(const SecureBytes& pkcs8) {
    KeyDescription description;
    throwUnlessDescribed(quillard::describePublicKey(parsePrivateKey(pkcs8).get(), description));
    description.publicKeyDer.clear();
    return description;
}

bool KeyMaterial::isPair(const SecureBytes& pkcs8, const std::vector<uint8_t>& spki) {
    return EVP_PKEY_eq(parsePrivateKey(pkcs8).get(), parsePublicKey(spki).get()) == 1;
}

} // namespace quillard::softkey
