#include "key_attributes.h"

#include "token/lib/der_coding.h"
#include "token/lib/key_description.h"
#include "token/lib/openssl_handles.h"
#include "token/lib/openssl_providers.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/objects.h>

namespace quillard::module {

namespace {

using BignumPtr = OpenSslPtr<BIGNUM, BN_free>;
using Asn1ObjectPtr = OpenSslPtr<ASN1_OBJECT, ASN1_OBJECT_free>;

template <typename T, typename Encode> std::vector<uint8_t> derOf(const T* object, Encode encode) {
    std::vector<uint8_t> der;
    encodeDer(encode, object, der);
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
    // Only the curves the virtual keys work with are named; another curve's key shows no CKA_EC_PARAMS.
    if (std::vector<uint8_t> parameters = ecParametersOf(key); KeyAttributes::curveOf(parameters))
        attributes.set(CKA_EC_PARAMS, std::move(parameters));
    if (std::vector<uint8_t> point = ecPointOf(key); !point.empty())
        attributes.set(CKA_EC_POINT, std::move(point));
}

} // namespace

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
    X509Ptr x509(decodeCertificateInLibraryContext(nullptr, &in, static_cast<long>(certificate.size())));
    if (!x509)
        return;
    attributes.set(CKA_SUBJECT, derOf(X509_get_subject_name(x509.get()), i2d_X509_NAME));
    attributes.set(CKA_ISSUER, derOf(X509_get_issuer_name(x509.get()), i2d_X509_NAME));
    attributes.set(CKA_SERIAL_NUMBER, derOf(X509_get0_serialNumber(x509.get()), i2d_ASN1_INTEGER));
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

} // namespace quillard::module
