#include "ecdsa_signature.h"

#include "token/lib/openssl_handles.h"

#include <openssl/bn.h>
#include <openssl/ecdsa.h>

#include <cstring>

namespace quillard::module {

namespace {

using EcdsaSigPtr = OpenSslPtr<ECDSA_SIG, ECDSA_SIG_free>;

// Reads a DER length at `at` (short form, or long form of one or two bytes); false when there is none.
bool readLength(std::span<const uint8_t> der, std::size_t& at, std::size_t& length) {
    if (at >= der.size())
        return false;
    const uint8_t first = der[at++];
    if (first < 0x80) {
        length = first;
        return true;
    }
    const std::size_t bytes = first & 0x7F;
    if (bytes == 0 || bytes > 2 || der.size() - at < bytes)
        return false;
    length = 0;
    for (std::size_t i = 0; i < bytes; ++i)
        length = length << 8 | der[at++];
    return true;
}

// Reads the DER INTEGER at `at` (a positive one, as r and s are) into `out`, right-aligned in `half` bytes.
bool readNumber(std::span<const uint8_t> der, std::size_t& at, uint8_t* out, std::size_t half) {
    std::size_t length = 0;
    if (at >= der.size() || der[at++] != 0x02 || !readLength(der, at, length) || length == 0 ||
        der.size() - at < length || (der[at] & 0x80))
        return false;
    std::span<const uint8_t> number = der.subspan(at, length);
    at += length;
    while (number.size() > 1 && number[0] == 0)
        number = number.subspan(1);
    if (number.size() > half)
        return false;
    std::memcpy(out + (half - number.size()), number.data(), number.size());
    return true;
}

} // namespace

// Parsed here rather than by d2i_ECDSA_SIG, which makes a structure and two big numbers for each signature
// of the module: this is one of the few things the module adds to OpenSSL's own work per signature.
std::vector<uint8_t> EcdsaSignature::toRaw(std::span<const uint8_t> der, std::size_t half) {
    std::vector<uint8_t> raw(2 * half);
    std::size_t at = 0;
    std::size_t length = 0;
    if (der.empty() || der[at++] != 0x30 || !readLength(der, at, length) || der.size() - at != length ||
        !readNumber(der, at, raw.data(), half) || !readNumber(der, at, raw.data() + half, half) ||
        at != der.size())
        return {};
    return raw;
}

std::vector<uint8_t> EcdsaSignature::toDer(const uint8_t* raw, std::size_t size) {
    if (size == 0 || size % 2 != 0)
        return {};
    const int half = static_cast<int>(size / 2);
    EcdsaSigPtr signature(ECDSA_SIG_new());
    BIGNUM* r = BN_bin2bn(raw, half, nullptr);
    BIGNUM* s = BN_bin2bn(raw + half, half, nullptr);
    if (!signature || !r || !s || !ECDSA_SIG_set0(signature.get(), r, s)) {
        BN_free(r);
        BN_free(s);
        return {};
    }
    int length = i2d_ECDSA_SIG(signature.get(), nullptr);
    if (length <= 0)
        return {};
    std::vector<uint8_t> der(static_cast<std::size_t>(length));
    unsigned char* out = der.data();
    i2d_ECDSA_SIG(signature.get(), &out);
    return der;
}

} // namespace quillard::module
