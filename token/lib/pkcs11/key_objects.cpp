#include "key_objects.h"

#include "key_description.h"
#include "openssl_handles.h"
#include "quillard_errors.h"

#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/objects.h>
#include <openssl/param_build.h>
#include <openssl/sha.h>

#include <stdexcept>

namespace quillard::pkcs11 {

namespace {

using Bytes = std::vector<uint8_t>;
using BignumPtr = OpenSslPtr<BIGNUM, BN_clear_free>;
using ParamBuildPtr = OpenSslPtr<OSSL_PARAM_BLD, OSSL_PARAM_BLD_free>;
using ParamsPtr = OpenSslPtr<OSSL_PARAM, OSSL_PARAM_free>;
using PkeyContextPtr = OpenSslPtr<EVP_PKEY_CTX, EVP_PKEY_CTX_free>;
using AsnObjectPtr = OpenSslPtr<ASN1_OBJECT, ASN1_OBJECT_free>;
using OctetStringPtr = OpenSslPtr<ASN1_OCTET_STRING, ASN1_OCTET_STRING_free>;
using EcGroupPtr = OpenSslPtr<EC_GROUP, EC_GROUP_free>;

constexpr const char* kContainerApplication = "PellorZu container";

[[noreturn]] void unusableKey() {
    throw std::invalid_argument("the key is neither an RSA nor an EC key");
}

template <typename Object, typename Encode> Bytes derOf(Encode encode, Object* object) {
    int length = encode(object, nullptr);
    if (length <= 0)
        throw std::invalid_argument("a part of the key does not encode");
    Bytes bytes(static_cast<std::size_t>(length));
    unsigned char* cursor = bytes.data();
    encode(object, &cursor);
    return bytes;
}

SecureBytes bignumParameter(const EVP_PKEY* key, const char* name) {
    BIGNUM* raw = nullptr;
    if (!EVP_PKEY_get_bn_param(key, name, &raw))
        unusableKey();
    BignumPtr number(raw);
    SecureBytes bytes(static_cast<std::size_t>(BN_num_bytes(number.get())));
    BN_bn2bin(number.get(), bytes.data());
    return bytes;
}

// The curve of an EC key as CKA_EC_PARAMS holds it: the DER OID of the named curve.
Bytes curveParameters(const EVP_PKEY* key) {
    char group[80] = {};
    if (!EVP_PKEY_get_utf8_string_param(key, OSSL_PKEY_PARAM_GROUP_NAME, group, sizeof group, nullptr))
        unusableKey();
    int nid = OBJ_sn2nid(group);
    if (nid == NID_undef)
        nid = EC_curve_nist2nid(group);
    AsnObjectPtr oid(OBJ_nid2obj(nid));
    if (nid == NID_undef || !oid)
        unusableKey();
    return derOf(i2d_ASN1_OBJECT, oid.get());
}

// The public point of an EC key in a DER OCTET STRING, as CKA_EC_POINT holds it.
Bytes curvePoint(const EVP_PKEY* key) {
    std::size_t length = 0;
    if (!EVP_PKEY_get_octet_string_param(key, OSSL_PKEY_PARAM_ENCODED_PUBLIC_KEY, nullptr, 0, &length))
        unusableKey();
    Bytes point(length);
    EVP_PKEY_get_octet_string_param(key, OSSL_PKEY_PARAM_ENCODED_PUBLIC_KEY, point.data(), point.size(),
                                    &length);
    OctetStringPtr octets(ASN1_OCTET_STRING_new());
    ASN1_OCTET_STRING_set(octets.get(), point.data(), static_cast<int>(point.size()));
    return derOf(i2d_ASN1_OCTET_STRING, octets.get());
}

bool isRsa(const EVP_PKEY* key) {
    return EVP_PKEY_is_a(key, "RSA") || EVP_PKEY_is_a(key, "RSA-PSS");
}

AttributeSet keyTemplate(CK_OBJECT_CLASS objectClass, const EVP_PKEY* key, const std::string& label,
                         const Bytes& id) {
    AttributeSet set;
    set.addNumber(CKA_CLASS, objectClass)
        .addNumber(CKA_KEY_TYPE, isRsa(key) ? CKK_RSA : CKK_EC)
        .addFlag(CKA_TOKEN, true)
        .add(CKA_LABEL, label)
        .add(CKA_ID, id);
    return set;
}

Bytes asBytes(const SecureBytes& bytes) {
    return Bytes(bytes.begin(), bytes.end());
}

// The key a set of OpenSSL parameters describes, as a SubjectPublicKeyInfo.
Bytes publicKeyInfoFrom(const char* algorithm, OSSL_PARAM_BLD* build) {
    ParamsPtr params(OSSL_PARAM_BLD_to_param(build));
    PkeyContextPtr context(EVP_PKEY_CTX_new_from_name(nullptr, algorithm, nullptr));
    EVP_PKEY* raw = nullptr;
    if (!params || !context || EVP_PKEY_fromdata_init(context.get()) <= 0 ||
        EVP_PKEY_fromdata(context.get(), &raw, EVP_PKEY_PUBLIC_KEY, params.get()) <= 0)
        throw std::invalid_argument("the token's public key is not usable");
    EvpPkeyPtr key(raw);
    return derOf(i2d_PUBKEY, key.get());
}

// The curve name OpenSSL knows for DER CKA_EC_PARAMS holding a named curve's OID.
int curveOf(const Bytes& parameters) {
    const unsigned char* cursor = parameters.data();
    AsnObjectPtr oid(d2i_ASN1_OBJECT(nullptr, &cursor, static_cast<long>(parameters.size())));
    int nid = oid ? OBJ_obj2nid(oid.get()) : NID_undef;
    if (nid == NID_undef)
        throw std::invalid_argument("the token's key is on a curve without a known name");
    return nid;
}

// The point of CKA_EC_POINT: a DER OCTET STRING by the standard, the bare point from some modules.
Bytes bareCurvePoint(const Bytes& value) {
    const unsigned char* cursor = value.data();
    OctetStringPtr octets(d2i_ASN1_OCTET_STRING(nullptr, &cursor, static_cast<long>(value.size())));
    if (octets && cursor == value.data() + value.size())
        return Bytes(octets->data, octets->data + octets->length);
    return value;
}

CK_KEY_TYPE keyTypeOf(const Pkcs11Call& call, CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object) {
    CK_KEY_TYPE type = 0;
    CK_ATTRIBUTE attribute{CKA_KEY_TYPE, &type, sizeof type};
    call("C_GetAttributeValue", &CK_FUNCTION_LIST::C_GetAttributeValue, session, object, &attribute, 1);
    return type;
}

} // namespace

Bytes keyIdOf(const Bytes& spkiDer) {
    const unsigned char* cursor = spkiDer.data();
    OpenSslPtr<X509_PUBKEY, X509_PUBKEY_free> info(
        d2i_X509_PUBKEY(nullptr, &cursor, static_cast<long>(spkiDer.size())));
    const unsigned char* bits = nullptr;
    int length = 0;
    if (!info || !X509_PUBKEY_get0_param(nullptr, &bits, &length, nullptr, info.get()))
        throw std::invalid_argument("the public key does not parse");
    Bytes id(SHA_DIGEST_LENGTH);
    SHA1(bits, static_cast<std::size_t>(length), id.data());
    return id;
}

AttributeSet certificateTemplate(const std::string& label, const Bytes& id, const Bytes& certificateDer) {
    const unsigned char* cursor = certificateDer.data();
    X509Ptr certificate(d2i_X509(nullptr, &cursor, static_cast<long>(certificateDer.size())));
    if (!certificate)
        throw std::invalid_argument("the certificate does not parse");
    AttributeSet set;
    set.addNumber(CKA_CLASS, CKO_CERTIFICATE)
        .addNumber(CKA_CERTIFICATE_TYPE, CKC_X_509)
        .addFlag(CKA_TOKEN, true)
        .addFlag(CKA_PRIVATE, false)
        .add(CKA_LABEL, label)
        .add(CKA_ID, id)
        .add(CKA_SUBJECT, derOf(i2d_X509_NAME, X509_get_subject_name(certificate.get())))
        .add(CKA_ISSUER, derOf(i2d_X509_NAME, X509_get_issuer_name(certificate.get())))
        .add(CKA_SERIAL_NUMBER, derOf(i2d_ASN1_INTEGER, X509_get0_serialNumber(certificate.get())))
        .add(CKA_VALUE, certificateDer);
    return set;
}

AttributeSet publicKeyTemplate(const std::string& label, const Bytes& id, const Bytes& spkiDer,
                               bool exchange) {
    EvpPkeyPtr key = decodePublicKey(spkiDer);
    if (!key)
        throw std::invalid_argument("the public key does not parse");
    AttributeSet set = keyTemplate(CKO_PUBLIC_KEY, key.get(), label, id);
    set.addFlag(CKA_PRIVATE, false)
        .addFlag(CKA_VERIFY, true)
        .addFlag(CKA_ENCRYPT, exchange)
        .addFlag(CKA_WRAP, exchange);
    if (isRsa(key.get())) {
        set.add(CKA_MODULUS, asBytes(bignumParameter(key.get(), OSSL_PKEY_PARAM_RSA_N)))
            .add(CKA_PUBLIC_EXPONENT, asBytes(bignumParameter(key.get(), OSSL_PKEY_PARAM_RSA_E)));
    } else if (EVP_PKEY_is_a(key.get(), "EC")) {
        set.add(CKA_EC_PARAMS, curveParameters(key.get())).add(CKA_EC_POINT, curvePoint(key.get()));
    } else {
        unusableKey();
    }
    return set;
}

AttributeSet privateKeyTemplate(const std::string& label, const Bytes& id, const SecureBytes& pkcs8Der,
                                bool exchange) {
    EvpPkeyPtr key = decodePrivateKey(pkcs8Der);
    if (!key)
        throw std::invalid_argument("the private key does not parse");
    AttributeSet set = keyTemplate(CKO_PRIVATE_KEY, key.get(), label, id);
    set.addFlag(CKA_PRIVATE, true)
        .addFlag(CKA_SENSITIVE, true)
        .addFlag(CKA_EXTRACTABLE, false)
        .addFlag(CKA_SIGN, true)
        .addFlag(CKA_DECRYPT, exchange)
        .addFlag(CKA_UNWRAP, exchange);
    auto addSecret = [&](CK_ATTRIBUTE_TYPE type, const char* name) {
        SecureBytes value = bignumParameter(key.get(), name);
        set.add(type, value.data(), value.size());
    };
    if (isRsa(key.get())) {
        addSecret(CKA_MODULUS, OSSL_PKEY_PARAM_RSA_N);
        addSecret(CKA_PUBLIC_EXPONENT, OSSL_PKEY_PARAM_RSA_E);
        addSecret(CKA_PRIVATE_EXPONENT, OSSL_PKEY_PARAM_RSA_D);
        addSecret(CKA_PRIME_1, OSSL_PKEY_PARAM_RSA_FACTOR1);
        addSecret(CKA_PRIME_2, OSSL_PKEY_PARAM_RSA_FACTOR2);
        addSecret(CKA_EXPONENT_1, OSSL_PKEY_PARAM_RSA_EXPONENT1);
        addSecret(CKA_EXPONENT_2, OSSL_PKEY_PARAM_RSA_EXPONENT2);
        addSecret(CKA_COEFFICIENT, OSSL_PKEY_PARAM_RSA_COEFFICIENT1);
    } else if (EVP_PKEY_is_a(key.get(), "EC")) {
        set.add(CKA_EC_PARAMS, curveParameters(key.get()));
        addSecret(CKA_VALUE, OSSL_PKEY_PARAM_PRIV_KEY);
    } else {
        unusableKey();
    }
    return set;
}

AttributeSet containerMarkTemplate(const std::string& label) {
    AttributeSet set;
    set.addNumber(CKA_CLASS, CKO_DATA)
        .addFlag(CKA_TOKEN, true)
        .addFlag(CKA_PRIVATE, false)
        .add(CKA_LABEL, label)
        .add(CKA_APPLICATION, std::string(kContainerApplication));
    return set;
}

Bytes readAttribute(const Pkcs11Call& call, CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object,
                    CK_ATTRIBUTE_TYPE type) {
    CK_ATTRIBUTE attribute{type, nullptr, 0};
    call("C_GetAttributeValue", &CK_FUNCTION_LIST::C_GetAttributeValue, session, object, &attribute, 1);
    Bytes value(attribute.ulValueLen);
    attribute.pValue = value.data();
    call("C_GetAttributeValue", &CK_FUNCTION_LIST::C_GetAttributeValue, session, object, &attribute, 1);
    value.resize(attribute.ulValueLen);
    return value;
}

Bytes publicKeyInfoOf(const Pkcs11Call& call, CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object) {
    ParamBuildPtr build(OSSL_PARAM_BLD_new());
    if (keyTypeOf(call, session, object) == CKK_RSA) {
        Bytes modulus = readAttribute(call, session, object, CKA_MODULUS);
        Bytes exponent = readAttribute(call, session, object, CKA_PUBLIC_EXPONENT);
        BignumPtr n(BN_bin2bn(modulus.data(), static_cast<int>(modulus.size()), nullptr));
        BignumPtr e(BN_bin2bn(exponent.data(), static_cast<int>(exponent.size()), nullptr));
        OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_N, n.get());
        OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_E, e.get());
        return publicKeyInfoFrom("RSA", build.get());
    }
    const int curve = curveOf(readAttribute(call, session, object, CKA_EC_PARAMS));
    Bytes point = bareCurvePoint(readAttribute(call, session, object, CKA_EC_POINT));
    OSSL_PARAM_BLD_push_utf8_string(build.get(), OSSL_PKEY_PARAM_GROUP_NAME, OBJ_nid2sn(curve), 0);
    OSSL_PARAM_BLD_push_octet_string(build.get(), OSSL_PKEY_PARAM_PUB_KEY, point.data(), point.size());
    return publicKeyInfoFrom("EC", build.get());
}

KeyDescription describePrivateKeyObject(const Pkcs11Call& call, CK_SESSION_HANDLE session,
                                        CK_OBJECT_HANDLE object) {
    KeyDescription description;
    const CK_KEY_TYPE type = keyTypeOf(call, session, object);
    if (type == CKK_RSA) {
        Bytes modulus = readAttribute(call, session, object, CKA_MODULUS);
        BignumPtr n(BN_bin2bn(modulus.data(), static_cast<int>(modulus.size()), nullptr));
        description.algorithm = AlgorithmRsa;
        description.bits = BN_num_bits(n.get());
    } else if (type == CKK_EC) {
        EcGroupPtr group(
            EC_GROUP_new_by_curve_name(curveOf(readAttribute(call, session, object, CKA_EC_PARAMS))));
        if (!group)
            throw std::invalid_argument("the token's key is on an unknown curve");
        description.algorithm = AlgorithmEcc;
        description.bits = EC_GROUP_get_degree(group.get());
    } else {
        throw std::invalid_argument("the token's key is neither an RSA nor an EC key");
    }
    return description;
}

} // namespace quillard::pkcs11
