#include "test_certificate_builder.h"

#include <openssl/asn1.h>
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <stdexcept>

namespace {

void check(bool ok, const char* what) {
    if (!ok)
        throw std::runtime_error(what);
}

EVP_PKEY* makeKey(TestCertificateBuilder::Signer signer) {
    switch (signer) {
    case TestCertificateBuilder::Signer::Rsa:
        return EVP_PKEY_Q_keygen(nullptr, nullptr, "RSA", std::size_t{2048});
    case TestCertificateBuilder::Signer::Ed25519:
        return EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519");
    default:
        return EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256");
    }
}

void addEntry(X509_NAME* name, const std::string& field, int type, const std::string& value) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(value.data());
    check(X509_NAME_add_entry_by_txt(name, field.c_str(), type, bytes, static_cast<int>(value.size()), -1,
                                     0) == 1,
          "name entry");
}

void addEntries(X509_NAME* name, const std::vector<std::pair<std::string, std::string>>& entries) {
    for (const auto& [field, value] : entries)
        addEntry(name, field, V_ASN1_UTF8STRING, value);
}

} // namespace

TestCertificateBuilder::TestCertificateBuilder(Signer signer) : key_(makeKey(signer)) {
    check(key_, "key");
}

TestCertificateBuilder::~TestCertificateBuilder() {
    EVP_PKEY_free(key_);
}

TestCertificateBuilder&
TestCertificateBuilder::subject(std::vector<std::pair<std::string, std::string>> entries) {
    subject_ = std::move(entries);
    return *this;
}

TestCertificateBuilder&
TestCertificateBuilder::issuer(std::vector<std::pair<std::string, std::string>> entries) {
    issuer_ = std::move(entries);
    return *this;
}

TestCertificateBuilder& TestCertificateBuilder::commonNameOfType(int asn1Type, std::string encoded) {
    subject_.clear();
    commonNameType_ = asn1Type;
    commonName_ = std::move(encoded);
    return *this;
}

TestCertificateBuilder& TestCertificateBuilder::serial(std::vector<uint8_t> bigEndian, bool negative) {
    serial_ = std::move(bigEndian);
    negativeSerial_ = negative;
    return *this;
}

TestCertificateBuilder& TestCertificateBuilder::validity(std::string notBefore, std::string notAfter) {
    notBefore_ = std::move(notBefore);
    notAfter_ = std::move(notAfter);
    return *this;
}

TestCertificateBuilder& TestCertificateBuilder::version(long zeroBased) {
    version_ = zeroBased;
    return *this;
}

std::vector<uint8_t> TestCertificateBuilder::der() const {
    X509* certificate = X509_new();
    check(certificate && X509_set_version(certificate, version_) == 1, "version");
    BIGNUM* serial = BN_bin2bn(serial_.data(), static_cast<int>(serial_.size()), nullptr);
    BN_set_negative(serial, negativeSerial_);
    check(BN_to_ASN1_INTEGER(serial, X509_get_serialNumber(certificate)) != nullptr, "serial");
    BN_free(serial);
    addEntries(X509_get_subject_name(certificate), subject_);
    if (commonNameType_)
        addEntry(X509_get_subject_name(certificate), "CN", commonNameType_, commonName_);
    if (issuer_.empty())
        check(X509_set_issuer_name(certificate, X509_get_subject_name(certificate)) == 1, "issuer");
    else
        addEntries(X509_get_issuer_name(certificate), issuer_);
    check(ASN1_TIME_set_string_X509(X509_getm_notBefore(certificate), notBefore_.c_str()) == 1, "notBefore");
    check(ASN1_TIME_set_string_X509(X509_getm_notAfter(certificate), notAfter_.c_str()) == 1, "notAfter");
    check(X509_set_pubkey(certificate, key_) == 1, "public key");
    const EVP_MD* digest = EVP_PKEY_is_a(key_, "ED25519") ? nullptr : EVP_sha256();
    check(X509_sign(certificate, key_, digest) > 0, "signature");
    unsigned char* encoded = nullptr;
    int length = i2d_X509(certificate, &encoded);
    check(length > 0, "encoding");
    std::vector<uint8_t> result(encoded, encoded + length);
    OPENSSL_free(encoded);
    X509_free(certificate);
    return result;
}
