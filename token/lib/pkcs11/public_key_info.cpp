#include "public_key_info.h"

#include <algorithm>
#include <array>

namespace quillard::pkcs11 {

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kSequence = 0x30, kInteger = 0x02, kBitString = 0x03, kNull = 0x05;
// rsaEncryption (1.2.840.113549.1.1.1) and id-ecPublicKey (1.2.840.10045.2.1), DER.
const Bytes kRsaEncryption = {0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01, 0x01};
const Bytes kEcPublicKey = {0x06, 0x07, 0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x02, 0x01};

struct NamedCurve {
    Bytes oid;
    int32_t bits;
};

const std::array<NamedCurve, 4> kCurves = {{
    {{0x06, 0x08, 0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x03, 0x01, 0x07}, 256}, // P-256
    {{0x06, 0x05, 0x2B, 0x81, 0x04, 0x00, 0x22}, 384},                   // P-384
    {{0x06, 0x05, 0x2B, 0x81, 0x04, 0x00, 0x23}, 521},                   // P-521
    {{0x06, 0x05, 0x2B, 0x81, 0x04, 0x00, 0x0A}, 256},                   // secp256k1
}};

Bytes element(uint8_t tag, const Bytes& content) {
    Bytes out{tag};
    const std::size_t size = content.size();
    if (size < 0x80) {
        out.push_back(static_cast<uint8_t>(size));
    } else {
        Bytes length;
        for (std::size_t rest = size; rest > 0; rest >>= 8)
            length.insert(length.begin(), static_cast<uint8_t>(rest & 0xFF));
        out.push_back(static_cast<uint8_t>(0x80 | length.size()));
        out.insert(out.end(), length.begin(), length.end());
    }
    out.insert(out.end(), content.begin(), content.end());
    return out;
}

Bytes concatenated(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

// A DER INTEGER holding an unsigned big-endian number.
Bytes unsignedInteger(const Bytes& number) {
    auto first = std::find_if(number.begin(), number.end(), [](uint8_t byte) { return byte != 0; });
    Bytes content(first, number.end());
    if (content.empty() || (content.front() & 0x80))
        content.insert(content.begin(), 0x00);
    return element(kInteger, content);
}

Bytes bitString(const Bytes& bits) {
    return element(kBitString, concatenated({Bytes{0x00}, bits}));
}

} // namespace

Bytes rsaPublicKeyInfo(const Bytes& modulus, const Bytes& exponent) {
    const Bytes algorithm = element(kSequence, concatenated({kRsaEncryption, Bytes{kNull, 0x00}}));
    const Bytes key = element(kSequence, concatenated({unsignedInteger(modulus), unsignedInteger(exponent)}));
    return element(kSequence, concatenated({algorithm, bitString(key)}));
}

Bytes ecPublicKeyInfo(const Bytes& parameters, const Bytes& point) {
    const Bytes algorithm = element(kSequence, concatenated({kEcPublicKey, parameters}));
    return element(kSequence, concatenated({algorithm, bitString(point)}));
}

int32_t bitLength(const Bytes& number) {
    auto first = std::find_if(number.begin(), number.end(), [](uint8_t byte) { return byte != 0; });
    if (first == number.end())
        return 0;
    int32_t bits = static_cast<int32_t>(number.end() - first - 1) * 8;
    for (uint8_t lead = *first; lead != 0; lead >>= 1)
        ++bits;
    return bits;
}

std::optional<int32_t> knownCurveBits(const Bytes& parameters) {
    for (const NamedCurve& curve : kCurves)
        if (curve.oid == parameters)
            return curve.bits;
    return std::nullopt;
}

} // namespace quillard::pkcs11
