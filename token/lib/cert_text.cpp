#include "cert_text.h"

#include "der_coding.h"
#include "hex_text.h"
#include "key_description.h"
#include "openssl_handles.h"
#include "openssl_providers.h"
#include "quillard_errors.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <ctime>
#include <functional>
#include <optional>

namespace quillard {

namespace {

// What a memory BIO holds after a print function wrote into it.
std::optional<std::string> printed(const std::function<bool(BIO*)>& print) {
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio || !print(bio.get())) {
        ERR_clear_error();
        return std::nullopt;
    }
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio.get(), &data);
    return length > 0 ? std::string(data, static_cast<std::size_t>(length)) : std::string();
}

// Names in UTF-8 as they stand, not escaped, so Chinese names print as text.
constexpr unsigned long kNameFlags = (XN_FLAG_ONELINE & ~ASN1_STRFLGS_ESC_MSB) | ASN1_STRFLGS_UTF8_CONVERT;

std::optional<std::string> serialText(const X509* certificate) {
    const ASN1_INTEGER* serial = X509_get0_serialNumber(certificate);
    const unsigned char* bytes = ASN1_STRING_get0_data(serial);
    const int length = ASN1_STRING_length(serial);
    std::string text = ASN1_STRING_type(serial) == V_ASN1_NEG_INTEGER ? "-" : "";
    return text + (length > 0 ? colonHex(bytes, static_cast<std::size_t>(length)) : std::string("00"));
}

// A moment as "YYYY-MM-DD HH:MM:SS UTC".
std::optional<std::string> timeText(const ASN1_TIME* time) {
    std::tm moment{};
    if (!time || ASN1_TIME_to_tm(time, &moment) != 1)
        return std::nullopt;
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &moment);
    return std::string(text);
}

// The key type's common name: "RSA", "EC", else OpenSSL's name of the type ("ED25519").
std::string keyTypeName(const EVP_PKEY* key) {
    switch (EVP_PKEY_get_base_id(key)) {
    case EVP_PKEY_RSA:
        return "RSA";
    case EVP_PKEY_RSA_PSS:
        return "RSA-PSS";
    case EVP_PKEY_EC:
        return "EC";
    default: {
        const char* name = EVP_PKEY_get0_type_name(key);
        return name ? name : "unknown";
    }
    }
}

// "RSA", "EC P-256" (the NIST name of the curve where it has one, else its short name), "ED25519", ...
std::optional<std::string> keyAlgorithmText(const X509* certificate) {
    EVP_PKEY* key = X509_get0_pubkey(certificate);
    if (!key)
        return std::nullopt;
    std::string text = keyTypeName(key);
    char curve[80] = {};
    std::size_t curveLength = 0;
    if (EVP_PKEY_get_base_id(key) == EVP_PKEY_EC &&
        EVP_PKEY_get_utf8_string_param(key, "group", curve, sizeof curve, &curveLength) == 1) {
        const char* nist = EC_curve_nid2nist(OBJ_sn2nid(curve));
        text += std::string(" ") + (nist ? nist : curve);
    }
    ERR_clear_error();
    return text;
}

std::optional<std::string> keyBitsText(const X509* certificate) {
    EVP_PKEY* key = X509_get0_pubkey(certificate);
    return key ? std::optional(std::to_string(EVP_PKEY_get_bits(key))) : std::nullopt;
}

// The extension as OpenSSL prints its value ("Digital Signature, Key Encipherment"); empty when absent.
std::optional<std::string> extensionText(const X509* certificate, int nid) {
    const int index = X509_get_ext_by_NID(certificate, nid, -1);
    if (index < 0)
        return std::string();
    X509_EXTENSION* extension = X509_get_ext(certificate, index);
    return printed([&](BIO* bio) { return X509V3_EXT_print(bio, extension, 0, 0) == 1; });
}

std::optional<std::string> fingerprintText(const X509* certificate, const EVP_MD* digest) {
    unsigned char bytes[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (X509_digest(certificate, digest, bytes, &length) != 1)
        return std::nullopt;
    return colonHex(bytes, length);
}

// The CKA_ID the virtual keys give a certificate and its pair: SHA-1 of its public key's bits.
std::optional<std::string> keyIdText(X509* certificate) {
    std::vector<uint8_t> spki;
    if (!encodeDer(i2d_X509_PUBKEY, X509_get_X509_PUBKEY(certificate), spki))
        return std::nullopt;
    const std::vector<uint8_t> id = keyIdOf(spki);
    if (id.empty())
        return std::nullopt;
    return upperHex(id.data(), id.size());
}

std::optional<std::string> fieldText(X509* certificate, int32_t field) {
    switch (field) {
    case QUILLARD_CERT_SUBJECT:
    case QUILLARD_CERT_ISSUER: {
        const X509_NAME* name = field == QUILLARD_CERT_SUBJECT ? X509_get_subject_name(certificate)
                                                               : X509_get_issuer_name(certificate);
        return printed([&](BIO* bio) { return X509_NAME_print_ex(bio, name, 0, kNameFlags) >= 0; });
    }
    case QUILLARD_CERT_SERIAL:
        return serialText(certificate);
    case QUILLARD_CERT_NOT_BEFORE:
        return timeText(X509_get0_notBefore(certificate));
    case QUILLARD_CERT_NOT_AFTER:
        return timeText(X509_get0_notAfter(certificate));
    case QUILLARD_CERT_KEY_ALGORITHM:
        return keyAlgorithmText(certificate);
    case QUILLARD_CERT_KEY_BITS:
        return keyBitsText(certificate);
    case QUILLARD_CERT_KEY_USAGE:
        return extensionText(certificate, NID_key_usage);
    case QUILLARD_CERT_EXTENDED_KEY_USAGE:
        return extensionText(certificate, NID_ext_key_usage);
    case QUILLARD_CERT_SHA1:
        return fingerprintText(certificate, EVP_sha1());
    case QUILLARD_CERT_SHA256:
        return fingerprintText(certificate, EVP_sha256());
    case QUILLARD_CERT_DETAILS:
        return printed([&](BIO* bio) { return X509_print_ex(bio, certificate, kNameFlags, 0) == 1; });
    case QUILLARD_CERT_PEM:
        return printed([&](BIO* bio) { return PEM_write_bio_X509(bio, certificate) == 1; });
    case QUILLARD_CERT_KEY_ID:
        return keyIdText(certificate);
    default:
        return std::nullopt;
    }
}

} // namespace

Result certificateText(const uint8_t* der, std::size_t length, int32_t field, std::string& out) {
    X509Ptr certificate = decodeWholeDer<X509Ptr>(decodeCertificateInLibraryContext, der, length);
    if (!certificate)
        return QR_ARGUMENTS_BAD;
    std::optional<std::string> text = fieldText(certificate.get(), field);
    ERR_clear_error();
    if (!text)
        return QR_ARGUMENTS_BAD;
    out = std::move(*text);
    return QR_OK;
}

} // namespace quillard
