#include "key_signed_documents.h"

#include "der_coding.h"
#include "key_description.h"
#include "openssl_providers.h"
#include "subject_name.h"
#include "usage_extensions.h"

#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <openssl/x509.h>

namespace quillard {

namespace {

using Bytes = std::vector<uint8_t>;
using RequestPtr = OpenSslPtr<X509_REQ, X509_REQ_free>;
using AlgorithmPtr = OpenSslPtr<X509_ALGOR, X509_ALGOR_free>;
using BitStringPtr = OpenSslPtr<ASN1_BIT_STRING, ASN1_BIT_STRING_free>;
using BignumPtr = OpenSslPtr<BIGNUM, BN_free>;
using MessageDigestPtr = OpenSslPtr<EVP_MD, EVP_MD_free>;

constexpr int32_t kLongestValidity = 36500; // days, a hundred years
constexpr int kSerialBytes = 16;

void setSignatureAlgorithm(X509_ALGOR* algorithm, const KeyDescription& key) {
    if (key.algorithm == AlgorithmRsa)
        X509_ALGOR_set0(algorithm, OBJ_nid2obj(NID_sha256WithRSAEncryption), V_ASN1_NULL, nullptr);
    else
        X509_ALGOR_set0(algorithm,
                        OBJ_nid2obj(key.bits == 384 ? NID_ecdsa_with_SHA384 : NID_ecdsa_with_SHA256),
                        V_ASN1_UNDEF, nullptr);
}

// The key's signature over the DER to-be-signed part `tbs`.
Result signOnKey(const Bytes& tbs, const KeyDescription& key, const DigestSigner& sign, Bytes& signature) {
    const std::string digest = documentDigestFor(key);
    MessageDigestPtr md(EVP_MD_fetch(libraryContext(), digest.c_str(), nullptr));
    Bytes hash(EVP_MAX_MD_SIZE);
    unsigned int length = 0;
    if (!md || EVP_Digest(tbs.data(), tbs.size(), hash.data(), &length, md.get(), nullptr) != 1)
        return QR_GENERAL_ERROR;
    hash.resize(length);
    return sign(digest, hash, signature);
}

bool setSignatureBits(ASN1_BIT_STRING* bits, const Bytes& signature) {
    if (ASN1_BIT_STRING_set(bits, const_cast<uint8_t*>(signature.data()),
                            static_cast<int>(signature.size())) != 1)
        return false;
    bits->flags &= ~(ASN1_STRING_FLAG_BITS_LEFT | 0x07);
    bits->flags |= ASN1_STRING_FLAG_BITS_LEFT; // whole bytes: no unused bits
    return true;
}

// The DER to-be-signed part, encoded afresh (OpenSSL's i2d_re_*_tbs take the object as it is now).
template <typename Object, typename Encode> Bytes toBeSigned(Encode encode, Object* object) {
    const int length = encode(object, nullptr);
    if (length <= 0)
        return {};
    Bytes tbs(static_cast<std::size_t>(length));
    unsigned char* cursor = tbs.data();
    return encode(object, &cursor) == length ? tbs : Bytes();
}

bool addAll(X509_REQ* request, STACK_OF(X509_EXTENSION) * extensions) {
    return sk_X509_EXTENSION_num(extensions) == 0 || X509_REQ_add_extensions(request, extensions) == 1;
}

bool addAll(X509* certificate, STACK_OF(X509_EXTENSION) * extensions) {
    for (int i = 0; i < sk_X509_EXTENSION_num(extensions); ++i)
        if (X509_add_ext(certificate, sk_X509_EXTENSION_value(extensions, i), -1) != 1)
            return false;
    return true;
}

bool setRandomSerial(X509* certificate) {
    unsigned char bytes[kSerialBytes];
    if (RAND_bytes(bytes, sizeof bytes) != 1)
        return false;
    bytes[0] = static_cast<unsigned char>((bytes[0] & 0x7F) | 0x40); // positive, and always 16 bytes long
    BignumPtr serial(BN_bin2bn(bytes, sizeof bytes, nullptr));
    return serial && BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(certificate)) != nullptr;
}

bool fillCertificate(X509* certificate, const X509_NAME* subject, EVP_PKEY* publicKey, int32_t days) {
    return X509_set_version(certificate, X509_VERSION_3) == 1 && setRandomSerial(certificate) &&
           X509_set_subject_name(certificate, subject) == 1 &&
           X509_set_issuer_name(certificate, subject) == 1 &&
           X509_gmtime_adj(X509_getm_notBefore(certificate), 0) &&
           X509_time_adj_ex(X509_getm_notAfter(certificate), days, 0, nullptr) &&
           X509_set_pubkey(certificate, publicKey) == 1;
}

// Signs `request` on the key and encodes it, checking the signature made.
Result finishRequest(X509_REQ* request, EVP_PKEY* publicKey, const KeyDescription& key,
                     const DigestSigner& sign, Bytes& der) {
    AlgorithmPtr algorithm(X509_ALGOR_new());
    if (!algorithm)
        return QR_HOST_MEMORY;
    setSignatureAlgorithm(algorithm.get(), key);
    const Bytes tbs = X509_REQ_set1_signature_algo(request, algorithm.get()) == 1
                          ? toBeSigned(i2d_re_X509_REQ_tbs, request)
                          : Bytes();
    Bytes signature;
    if (tbs.empty())
        return QR_GENERAL_ERROR;
    if (Result result = signOnKey(tbs, key, sign, signature); result != QR_OK)
        return result;
    BitStringPtr bits(ASN1_BIT_STRING_new());
    if (!bits || !setSignatureBits(bits.get(), signature))
        return QR_HOST_MEMORY;
    X509_REQ_set0_signature(request, bits.release());
    Bytes encoded;
    if (!encodeDer(i2d_X509_REQ, request, encoded))
        return QR_GENERAL_ERROR;
    RequestPtr decoded = decodeWholeDer<RequestPtr>(d2i_X509_REQ, encoded.data(), encoded.size());
    if (!decoded || X509_REQ_verify_ex(decoded.get(), publicKey, libraryContext(), nullptr) != 1)
        return QR_DEVICE_ERROR;
    der = std::move(encoded);
    return QR_OK;
}

// Signs `certificate` on the key and encodes it, checking the signature made. OpenSSL has no setters for a
// certificate's two algorithm fields and its signature; the pointers it hands out point into the
// certificate, which this function owns, so they are written through.
Result finishCertificate(X509* certificate, EVP_PKEY* publicKey, const KeyDescription& key,
                         const DigestSigner& sign, Bytes& der) {
    setSignatureAlgorithm(const_cast<X509_ALGOR*>(X509_get0_tbs_sigalg(certificate)), key);
    const ASN1_BIT_STRING* bits = nullptr;
    const X509_ALGOR* outerAlgorithm = nullptr;
    X509_get0_signature(&bits, &outerAlgorithm, certificate);
    setSignatureAlgorithm(const_cast<X509_ALGOR*>(outerAlgorithm), key);
    const Bytes tbs = toBeSigned(i2d_re_X509_tbs, certificate);
    Bytes signature;
    if (tbs.empty())
        return QR_GENERAL_ERROR;
    if (Result result = signOnKey(tbs, key, sign, signature); result != QR_OK)
        return result;
    if (!setSignatureBits(const_cast<ASN1_BIT_STRING*>(bits), signature))
        return QR_HOST_MEMORY;
    Bytes encoded;
    if (!encodeDer(i2d_X509, certificate, encoded))
        return QR_GENERAL_ERROR;
    X509Ptr decoded = decodeWholeDer<X509Ptr>(d2i_X509, encoded.data(), encoded.size());
    if (!decoded || X509_verify(decoded.get(), publicKey) != 1)
        return QR_DEVICE_ERROR;
    der = std::move(encoded);
    return QR_OK;
}

} // namespace

std::string documentDigestFor(const KeyDescription& key) {
    return key.algorithm == AlgorithmEcc && key.bits == 384 ? "SHA384" : "SHA256";
}

Result buildRequest(const KeyDescription& key, const DocumentSettings& settings, const DigestSigner& sign,
                    std::vector<uint8_t>& der) {
    EvpPkeyPtr publicKey = decodePublicKey(key.publicKeyDer);
    X509NamePtr subject = subjectName(settings.subject);
    if (!publicKey || !subject)
        return QR_ARGUMENTS_BAD;
    RequestPtr request(X509_REQ_new_ex(libraryContext(), nullptr));
    if (!request || X509_REQ_set_version(request.get(), 0) != 1 ||
        X509_REQ_set_subject_name(request.get(), subject.get()) != 1 ||
        X509_REQ_set_pubkey(request.get(), publicKey.get()) != 1)
        return QR_GENERAL_ERROR;
    X509V3_CTX context;
    X509V3_set_ctx(&context, nullptr, nullptr, request.get(), nullptr, 0);
    ExtensionStackPtr extensions =
        usageExtensions(settings.altNames, settings.usage, key.algorithm, false, &context);
    if (!extensions)
        return QR_ARGUMENTS_BAD;
    if (!addAll(request.get(), extensions.get()))
        return QR_GENERAL_ERROR;
    return finishRequest(request.get(), publicKey.get(), key, sign, der);
}

Result buildSelfSigned(const KeyDescription& key, const DocumentSettings& settings, const DigestSigner& sign,
                       std::vector<uint8_t>& der) {
    EvpPkeyPtr publicKey = decodePublicKey(key.publicKeyDer);
    X509NamePtr subject = subjectName(settings.subject);
    if (!publicKey || !subject || settings.days < 1 || settings.days > kLongestValidity)
        return QR_ARGUMENTS_BAD;
    X509Ptr certificate(X509_new_ex(libraryContext(), nullptr));
    if (!certificate || !fillCertificate(certificate.get(), subject.get(), publicKey.get(), settings.days))
        return QR_GENERAL_ERROR;
    X509V3_CTX context;
    X509V3_set_ctx(&context, certificate.get(), certificate.get(), nullptr, nullptr, 0);
    ExtensionStackPtr extensions =
        usageExtensions(settings.altNames, settings.usage, key.algorithm, true, &context);
    if (!extensions)
        return QR_ARGUMENTS_BAD;
    if (!addAll(certificate.get(), extensions.get()))
        return QR_GENERAL_ERROR;
    return finishCertificate(certificate.get(), publicKey.get(), key, sign, der);
}

} // namespace quillard
