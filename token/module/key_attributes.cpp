#include "key_attributes.h"

#include "key_description.h"
#include "openssl_handles.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/objects.h>
#include <openssl/sha.h>

#include <cstring>

namespace quillard::module {

namespace {

using BignumPtr = OpenSslPtr<BIGNUM, BN_free>;
using X509PubkeyPtr = OpenSslPtr<X509_PUBKEY, X509_PUBKEY_free>;
using Asn1ObjectPtr = OpenSslPtr<ASN1_OBJECT, ASN1_OBJECT_free>;

template <typename T, typename Encode> std::vector<uint8_t> derOf(const T* object, Encode encode) {
    int length = encode(object, nullptr);
    if (length <= 0)
        return {};
    std::vector<uint8_t> der(static_cast<std::size_t>(length));
    unsigned char* out = der.data();
    encode(object, &out);
    return der;
}

std::vector<uint8_t> bignumParam(const EVP_PKEY* key, const char* name) {
    BIGNUM* raw = nullptr;
    if (!EVP_PKEY_get_bn_param(key, name, &raw))
        return {};
    BignumPtr value(raw);
    std::vector<uint8_t> bytes(static_cast<std::size_t>(BN_num_bytes(value.get())));
    BN_bn2bin(value.get(), bytes.data());
    return bytes;
}

void addRsaParts(AttributeSet& attributes, const EVP_PKEY* key) {
    attributes.setUlong(CKA_KEY_TYPE, CKK_RSA);
    attributes.set(CKA_MODULUS, bignumParam(key, OSSL_PKEY_PARAM_RSA_N));
    attributes.set(CKA_PUBLIC_EXPONENT, bignumParam(key, OSSL_PKEY_PARAM_RSA_E));
    attributes.setUlong(CKA_MODULUS_BITS, static_cast<CK_ULONG>(EVP_PKEY_get_bits(key)));
}

void addEcParts(AttributeSet& attributes, const EVP_PKEY* key) {
    attributes.setUlong(CKA_KEY_TYPE, CKK_EC);
    char curve[64] = {};
    if (EVP_PKEY_get_utf8_string_param(key, OSSL_PKEY_PARAM_GROUP_NAME, curve, sizeof curve, nullptr))
        attributes.set(CKA_EC_PARAMS, KeyAttributes::curveOid(curve));
    std::size_t size = 0;
    if (!EVP_PKEY_get_octet_string_param(key, OSSL_PKEY_PARAM_PUB_KEY, nullptr, 0, &size))
        return;
    std::vector<uint8_t> point(size);
    if (EVP_PKEY_get_octet_string_param(key, OSSL_PKEY_PARAM_PUB_KEY, point.data(), size, &size))
        attributes.set(CKA_EC_POINT, KeyAttributes::wrapEcPoint(point));
}

} // namespace

std::vector<uint8_t> KeyAttributes::keyId(const std::vector<uint8_t>& spki) {
    const unsigned char* in = spki.data();
    X509PubkeyPtr pubkey(d2i_X509_PUBKEY(nullptr, &in, static_cast<long>(spki.size())));
    const unsigned char* bits = nullptr;
    int length = 0;
    if (!pubkey || !X509_PUBKEY_get0_param(nullptr, &bits, &length, nullptr, pubkey.get()))
        return {};
    std::vector<uint8_t> id(SHA_DIGEST_LENGTH);
    SHA1(bits, static_cast<std::size_t>(length), id.data());
    return id;
}

void KeyAttributes::addPublicParts(AttributeSet& attributes, const std::vector<uint8_t>& spki) {
    attributes.set(CKA_PUBLIC_KEY_INFO, spki);
    EvpPkeyPtr key = decodePublicKey(spki);
    if (!key)
        return;
    if (EVP_PKEY_is_a(key.get(), "EC"))
        addEcParts(attributes, key.get());
    else
        addRsaParts(attributes, key.get());
}

void KeyAttributes::addCertificateNames(AttributeSet& attributes, const std::vector<uint8_t>& certificate) {
    const unsigned char* in = certificate.data();
    X509Ptr x509(d2i_X509(nullptr, &in, static_cast<long>(certificate.size())));
    if (!x509)
        return;
    attributes.set(CKA_SUBJECT, derOf(X509_get_subject_name(x509.get()), i2d_X509_NAME));
    attributes.set(CKA_ISSUER, derOf(X509_get_issuer_name(x509.get()), i2d_X509_NAME));
    attributes.set(CKA_SERIAL_NUMBER, derOf(X509_get0_serialNumber(x509.get()), i2d_ASN1_INTEGER));
}

std::vector<uint8_t> KeyAttributes::curveOid(const char* curveName) {
    int nid = OBJ_sn2nid(curveName);
    if (nid == NID_undef)
        nid = EC_curve_nist2nid(curveName);
    if (nid != NID_X9_62_prime256v1 && nid != NID_secp384r1)
        return {};
    Asn1ObjectPtr object(OBJ_nid2obj(nid));
    return derOf(object.get(), i2d_ASN1_OBJECT);
}

const char* KeyAttributes::curveOf(const std::vector<uint8_t>& ecParams) {
    const unsigned char* in = ecParams.data();
    Asn1ObjectPtr object(d2i_ASN1_OBJECT(nullptr, &in, static_cast<long>(ecParams.size())));
    if (!object || in != ecParams.data() + ecParams.size())
        return nullptr;
    switch (OBJ_obj2nid(object.get())) {
    case NID_X9_62_prime256v1:
        return "P-256";
    case NID_secp384r1:
        return "P-384";
    default:
        return nullptr;
    }
}

std::vector<uint8_t> KeyAttributes::wrapEcPoint(const std::vector<uint8_t>& point) {
    std::vector<uint8_t> wrapped{0x04};
    if (point.size() < 0x80) {
        wrapped.push_back(static_cast<uint8_t>(point.size()));
    } else {
        wrapped.push_back(0x81);
        wrapped.push_back(static_cast<uint8_t>(point.size()));
    }
    wrapped.insert(wrapped.end(), point.begin(), point.end());
    return wrapped;
}

} // namespace quillard::module
