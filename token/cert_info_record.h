// TZartoCertInfo: what ReadCertInfo learns of one certificate of a container.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace token {

constexpr int32_t kCertificateBufferSize = 65536;
// The key type the library reports for an elliptic-curve key; any other value is an RSA key.
constexpr int32_t kEllipticCurveKey = 3; // the longest certificate a record holds

struct TZartoCertInfo {
    std::vector<uint8_t> certificate; // as the key returns it, certificateLength bytes
    int32_t certificateLength = 0;
    std::u16string subject;
    std::u16string issuer;
    int32_t version = 0;
    std::string serialNumber;
    std::string validFromText; // "%.4d-%.2d-%.2d"
    std::string validToText;
    std::array<int32_t, 9> validFrom{}; // year, month, day; the rest carried but not read
    std::array<int32_t, 9> validTo{};
    int32_t keyType = 0; // 3 = elliptic curve, anything else RSA
    int32_t keyBits = 0;
    int32_t algorithm = 0;
};

} // namespace token
