#include "key_description.h"

#include "der_coding.h"
#include "quillard_errors.h"

#include <openssl/x509.h>

namespace quillard {

namespace {

bool algorithmOf(const EVP_PKEY* key, int32_t& algorithm) {
    if (EVP_PKEY_is_a(key, "RSA") || EVP_PKEY_is_a(key, "RSA-PSS")) {
        algorithm = AlgorithmRsa;
        return true;
    }
    if (EVP_PKEY_is_a(key, "EC")) {
        algorithm = AlgorithmEcc;
        return true;
    }
    return false;
}

} // namespace

Result describePublicKey(const EVP_PKEY* key, KeyDescription& out) {
    if (!key)
        return QR_ARGUMENTS_BAD;
    KeyDescription description;
    if (!algorithmOf(key, description.algorithm))
        return QR_FUNCTION_NOT_SUPPORTED;
    description.bits = EVP_PKEY_get_bits(key);
    if (description.bits <= 0 || !encodeDer(i2d_PUBKEY, key, description.publicKeyDer))
        return QR_GENERAL_ERROR;
    out = std::move(description);
    return QR_OK;
}

Result describePublicKey(const std::vector<uint8_t>& spkiDer, KeyDescription& out) {
    EvpPkeyPtr key = decodePublicKey(spkiDer);
    return key ? describePublicKey(key.get(), out) : QR_ARGUMENTS_BAD;
}

Result encodePrivateKey(const EVP_PKEY* key, SecureBytes& pkcs8Der) {
    if (!key)
        return QR_ARGUMENTS_BAD;
    Pkcs8Ptr info(EVP_PKEY2PKCS8(key));
    return info && encodeDer(i2d_PKCS8_PRIV_KEY_INFO, info.get(), pkcs8Der) ? QR_OK : QR_GENERAL_ERROR;
}

EvpPkeyPtr decodePublicKey(const std::vector<uint8_t>& spkiDer) {
    return decodeWholeDer<EvpPkeyPtr>(d2i_PUBKEY, spkiDer.data(), spkiDer.size());
}

EvpPkeyPtr decodePrivateKey(const SecureBytes& pkcs8Der) {
    Pkcs8Ptr info = decodeWholeDer<Pkcs8Ptr>(d2i_PKCS8_PRIV_KEY_INFO, pkcs8Der.data(), pkcs8Der.size());
    return EvpPkeyPtr(info ? EVP_PKCS82PKEY(info.get()) : nullptr);
}

} // namespace quillard
