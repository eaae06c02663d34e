#include "key_description.h"

#include "openssl_handles.h"
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
    int length = i2d_PUBKEY(key, nullptr);
    if (description.bits <= 0 || length <= 0)
        return QR_GENERAL_ERROR;
    description.publicKeyDer.resize(length);
    unsigned char* cursor = description.publicKeyDer.data();
    if (i2d_PUBKEY(key, &cursor) != length)
        return QR_GENERAL_ERROR;
    out = std::move(description);
    return QR_OK;
}

Result describePublicKey(const std::vector<uint8_t>& spkiDer, KeyDescription& out) {
    const unsigned char* cursor = spkiDer.data();
    EvpPkeyPtr key(d2i_PUBKEY(nullptr, &cursor, static_cast<long>(spkiDer.size())));
    if (!key || cursor != spkiDer.data() + spkiDer.size())
        return QR_ARGUMENTS_BAD;
    return describePublicKey(key.get(), out);
}

Result encodePrivateKey(const EVP_PKEY* key, SecureBytes& pkcs8Der) {
    if (!key)
        return QR_ARGUMENTS_BAD;
    Pkcs8Ptr info(EVP_PKEY2PKCS8(key));
    int length = info ? i2d_PKCS8_PRIV_KEY_INFO(info.get(), nullptr) : 0;
    if (length <= 0)
        return QR_GENERAL_ERROR;
    SecureBytes encoded(static_cast<std::size_t>(length));
    unsigned char* cursor = encoded.data();
    if (i2d_PKCS8_PRIV_KEY_INFO(info.get(), &cursor) != length)
        return QR_GENERAL_ERROR;
    pkcs8Der = std::move(encoded);
    return QR_OK;
}

} // namespace quillard
