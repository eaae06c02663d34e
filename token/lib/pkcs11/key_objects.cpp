#include "key_objects.h"

#include "public_key_info.h"
#include "token/lib/key_description.h"
#include "token/lib/openssl_handles.h"
#include "token/lib/openssl_providers.h"
#include "token/lib/quillard_errors.h"

#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/objects.h>
#include <openssl/sha.h>

#include <map>
#include <stdexcept>

namespace quillard::pkcs11 {

namespace {

using Bytes = std::vector<uint8_t>;
using BignumPtr = OpenSslPtr<BIGNUM, BN_clear_free>;
using AsnObjectPtr = OpenSslPtr<ASN1_OBJECT, ASN1_OBJECT_free>;
using OctetStringPtr = OpenSslPtr<ASN1_OCTET_STRING, ASN1_OCTET_STRING_free>;
using EcGroupPtr = OpenSslPtr<EC_GROUP, EC_GROUP_free>;

constexpr const char* kContainerApplication = "PellorZu container";
constexpr std::size_t kFirstValueRoom = 4096;

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

// The curve and public point of an EC key as CKA_EC_PARAMS and CKA_EC_POINT hold them.
Bytes curveParameters(const EVP_PKEY* key) {
    Bytes parameters = ecParametersOf(key);
    if (parameters.empty())
        unusableKey();
    return parameters;
}

Bytes curvePoint(const EVP_PKEY* key) {
    Bytes point = ecPointOf(key);
    if (point.empty())
        unusableKey();
    return point;
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

// The key type of a key object and the values of `types` it has, read in one call.
struct KeyAttributes {
    CK_KEY_TYPE type = CKK_VENDOR_DEFINED;
    std::map<CK_ATTRIBUTE_TYPE, Bytes> values;
};

KeyAttributes readKeyAttributes(const Pkcs11Call& call, CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object,
                                std::initializer_list<CK_ATTRIBUTE_TYPE> types) {
    KeyAttributes key;
    std::vector<Bytes> buffers(types.size(), Bytes(kFirstValueRoom));
    std::vector<CK_ATTRIBUTE> attributes{{CKA_KEY_TYPE, &key.type, sizeof key.type}};
    std::size_t i = 0;
    for (CK_ATTRIBUTE_TYPE type : types) {
        attributes.push_back({type, buffers[i].data(), buffers[i].size()});
        ++i;
    }
    // Attributes a key of the other type lacks come back unavailable, with this answer for the whole call.
    CK_RV rv = call.attempt("C_GetAttributeValue", &CK_FUNCTION_LIST::C_GetAttributeValue, session, object,
                            attributes.data(), static_cast<CK_ULONG>(attributes.size()));
    if (rv != CKR_OK && rv != CKR_ATTRIBUTE_TYPE_INVALID && rv != CKR_BUFFER_TOO_SMALL)
        call.check("C_GetAttributeValue", rv);
    if (attributes[0].ulValueLen != sizeof key.type)
        throw std::invalid_argument("the token's key has no key type");
    for (i = 1; i < attributes.size(); ++i) {
        const CK_ATTRIBUTE& attribute = attributes[i];
        if (attribute.ulValueLen != CK_UNAVAILABLE_INFORMATION) {
            buffers[i - 1].resize(attribute.ulValueLen);
            key.values[attribute.type] = std::move(buffers[i - 1]);
        } else if (rv == CKR_BUFFER_TOO_SMALL) {
            key.values[attribute.type] = readAttribute(call, session, object, attribute.type);
        }
    }
    return key;
}

} // namespace

AttributeSet certificateTemplate(const std::string& label, const Bytes& id, const Bytes& certificateDer) {
    const unsigned char* cursor = certificateDer.data();
    X509Ptr certificate(
        decodeCertificateInLibraryContext(nullptr, &cursor, static_cast<long>(certificateDer.size())));
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
    // Most values fit the first buffer, which saves the call that asks for the length.
    Bytes value(kFirstValueRoom);
    CK_ATTRIBUTE attribute{type, value.data(), value.size()};
    CK_RV rv = call.attempt("C_GetAttributeValue", &CK_FUNCTION_LIST::C_GetAttributeValue, session, object,
                            &attribute, 1);
    if (rv == CKR_BUFFER_TOO_SMALL) {
        attribute = {type, nullptr, 0};
        call("C_GetAttributeValue", &CK_FUNCTION_LIST::C_GetAttributeValue, session, object, &attribute, 1);
        value.resize(attribute.ulValueLen);
        attribute.pValue = value.data();
        rv = call.attempt("C_GetAttributeValue", &CK_FUNCTION_LIST::C_GetAttributeValue, session, object,
                          &attribute, 1);
    }
    call.check("C_GetAttributeValue", rv);
    value.resize(attribute.ulValueLen);
    return value;
}

KeyDescription describePublicKeyObject(const Pkcs11Call& call, CK_SESSION_HANDLE session,
                                       CK_OBJECT_HANDLE object) {
    KeyAttributes key = readKeyAttributes(call, session, object,
                                          {CKA_MODULUS, CKA_PUBLIC_EXPONENT, CKA_EC_PARAMS, CKA_EC_POINT});
    KeyDescription description;
    if (key.type == CKK_RSA) {
        description.algorithm = AlgorithmRsa;
        description.bits = bitLength(key.values[CKA_MODULUS]);
        description.publicKeyDer = rsaPublicKeyInfo(key.values[CKA_MODULUS], key.values[CKA_PUBLIC_EXPONENT]);
        return description;
    }
    if (key.type != CKK_EC)
        throw std::invalid_argument("the token's key is neither an RSA nor an EC key");
    const Bytes& parameters = key.values[CKA_EC_PARAMS];
    description.publicKeyDer = ecPublicKeyInfo(parameters, bareCurvePoint(key.values[CKA_EC_POINT]));
    if (std::optional<int32_t> bits = knownCurveBits(parameters)) {
        description.algorithm = AlgorithmEcc;
        description.bits = *bits;
        return description;
    }
    Bytes spki = description.publicKeyDer;
    if (describePublicKey(spki, description) != QR_OK)
        throw std::invalid_argument("the token's public key is not usable");
    return description;
}

KeyDescription describePrivateKeyObject(const Pkcs11Call& call, CK_SESSION_HANDLE session,
                                        CK_OBJECT_HANDLE object) {
    KeyAttributes key = readKeyAttributes(call, session, object, {CKA_MODULUS, CKA_EC_PARAMS});
    KeyDescription description;
    if (key.type == CKK_RSA) {
        description.algorithm = AlgorithmRsa;
        description.bits = bitLength(key.values[CKA_MODULUS]);
    } else if (key.type == CKK_EC) {
        const Bytes& parameters = key.values[CKA_EC_PARAMS];
        std::optional<int32_t> bits = knownCurveBits(parameters);
        if (!bits) {
            EcGroupPtr group(EC_GROUP_new_by_curve_name(curveOf(parameters)));
            if (!group)
                throw std::invalid_argument("the token's key is on an unknown curve");
            bits = EC_GROUP_get_degree(group.get());
        }
        description.algorithm = AlgorithmEcc;
        description.bits = *bits;
    } else {
        throw std::invalid_argument("the token's key is neither an RSA nor an EC key");
    }
    return description;
}

} // namespace quillard::pkcs11
