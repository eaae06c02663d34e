// Builds certificates with exactly the fields a test needs, straight with OpenSSL.
#pragma once

#include <openssl/types.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class TestCertificateBuilder {
public:
    enum class Signer { Ecdsa, Rsa, Ed25519 };

    explicit TestCertificateBuilder(Signer signer = Signer::Ecdsa);
    ~TestCertificateBuilder();
    TestCertificateBuilder(const TestCertificateBuilder&) = delete;
    TestCertificateBuilder& operator=(const TestCertificateBuilder&) = delete;

    // Name entries in encoding order, e.g. {"C", "CN"}, {"CN", "Alice"}; values are UTF-8 and stored as
    // UTF8String without length limits. An empty issuer list makes the certificate self-issued.
    TestCertificateBuilder& subject(std::vector<std::pair<std::string, std::string>> entries);
    TestCertificateBuilder& issuer(std::vector<std::pair<std::string, std::string>> entries);
    // The subject is only a common name of the given ASN.1 string type holding `encoded` as it stands, e.g. a
    // BMPString (UTF-16 big-endian) as some Windows tools write it.
    TestCertificateBuilder& commonNameOfType(int asn1Type, std::string encoded);
    TestCertificateBuilder& serial(std::vector<uint8_t> bigEndian, bool negative = false);
    // Times as "YYYYMMDDHHMMSSZ".
    TestCertificateBuilder& validity(std::string notBefore, std::string notAfter);
    TestCertificateBuilder& version(long zeroBased);

    std::vector<uint8_t> der() const;
    EVP_PKEY* key() const { return key_; }

private:
    EVP_PKEY* key_;
    std::vector<std::pair<std::string, std::string>> subject_{{"CN", "Test"}};
    std::vector<std::pair<std::string, std::string>> issuer_;
    int commonNameType_ = 0;
    std::string commonName_;
    std::vector<uint8_t> serial_{0x01};
    bool negativeSerial_ = false;
    std::string notBefore_ = "20240101000000Z";
    std::string notAfter_ = "20340101000000Z";
    long version_ = 2;
};
