#include "key_description.h"

#include "der_coding.h"
#include "openssl_providers.h"
#include "quillard_errors.h"

#include <openssl/core_names.h>
#include <openssl/decoder.h>
#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/sha.h>
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
    Pkcs8Ptr info(EVP_PKEY2PKCS8(key)); // encodes through the key's own provider
    return info && encodeDer(i2d_PKCS8_PRIV_KEY_INFO, info.get(), pkcs8Der) ? QR_OK : QR_GENERAL_ERROR;
}

EvpPkeyPtr decodePublicKey(const std::vector<uint8_t>& spkiDer) {
    // The decoders of the library's context alone. d2i_PUBKEY would first try OpenSSL's legacy decoding,
    // which a program's default ENGINE takes over: its EC keys then answer no encoded point.
    if (spkiDer.empty())
        return nullptr;
    EVP_PKEY* decoded = nullptr;
    OpenSslPtr<OSSL_DECODER_CTX, OSSL_DECODER_CTX_free> decoder(OSSL_DECODER_CTX_new_for_pkey(
        &decoded, "DER", "SubjectPublicKeyInfo", nullptr, EVP_PKEY_PUBLIC_KEY, libraryContext(), nullptr));
    const unsigned char* cursor = spkiDer.data();
    std::size_t left = spkiDer.size();
    const bool whole = decoder && OSSL_DECODER_from_data(decoder.get(), &cursor, &left) == 1 && left == 0;
    EvpPkeyPtr key(decoded);
    ERR_clear_error();
    return whole ? std::move(key) : nullptr;
}

EvpPkeyPtr decodePrivateKey(const SecureBytes& pkcs8Der) {
    Pkcs8Ptr info = decodeWholeDer<Pkcs8Ptr>(d2i_PKCS8_PRIV_KEY_INFO, pkcs8Der.data(), pkcs8Der.size());
    return EvpPkeyPtr(info ? EVP_PKCS82PKEY_ex(info.get(), libraryContext(), nullptr) : nullptr);
}

std::vector<uint8_t> keyIdOf(const std::vector<uint8_t>& spkiDer) {
    const unsigned char* cursor = spkiDer.data();
    OpenSslPtr<X509_PUBKEY, X509_PUBKEY_free> info(reinterpret_cast<X509_PUBKEY*>(
        ASN1_item_d2i_ex(nullptr, &cursor, static_cast<long>(spkiDer.size()), ASN1_ITEM_rptr(X509_PUBKEY),
                         libraryContext(), nullptr)));
    const unsigned char* bits = nullptr;
    int length = 0;
    if (!info || !X509_PUBKEY_get0_param(nullptr, &bits, &length, nullptr, info.get()))
        return {};
    std::vector<uint8_t> id(SHA_DIGEST_LENGTH);
    if (!EVP_Q_digest(libraryContext(), "SHA1", nullptr, bits, static_cast<std::size_t>(length), id.data(),
                      nullptr))
        return {};
    return id;
}

std::vector<uint8_t> ecParametersOf(const EVP_PKEY* key) {
    char group[80] = {};
    if (!EVP_PKEY_get_utf8_string_param(key, OSSL_PKEY_PARAM_GROUP_NAME, group, sizeof group, nullptr))
        return {};
    int nid = OBJ_sn2nid(group);
    if (nid == NID_undef)
        nid = EC_curve_nist2nid(group);
    OpenSslPtr<ASN1_OBJECT, ASN1_OBJECT_free> oid(nid == NID_undef ? nullptr : OBJ_nid2obj(nid));
    std::vector<uint8_t> der;
    if (!oid || !encodeDer(i2d_ASN1_OBJECT, oid.get(), der))
        return {};
    return der;
}

std::vector<uint8_t> ecPointOf(const EVP_PKEY* key) {
    std::size_t length = 0;
    if (!EVP_PKEY_get_octet_string_param(key, OSSL_PKEY_PARAM_ENCODED_PUBLIC_KEY, nullptr, 0, &length))
        return {};
    std::vector<uint8_t> point(length);
    if (!EVP_PKEY_get_octet_string_param(key, OSSL_PKEY_PARAM_ENCODED_PUBLIC_KEY, point.data(), point.size(),
                                         &length))
        return {};
    OpenSslPtr<ASN1_OCTET_STRING, ASN1_OCTET_STRING_free> octets(ASN1_OCTET_STRING_new());
    std::vector<uint8_t> der;
    if (!octets || !ASN1_OCTET_STRING_set(octets.get(), point.data(), static_cast<int>(length)) ||
        !encodeDer(i2d_ASN1_OCTET_STRING, octets.get(), der))
        return {};
    return der;
}

} // namespace quillard
