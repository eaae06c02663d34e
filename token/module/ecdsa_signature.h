// ECDSA signatures between OpenSSL's DER form (a SEQUENCE of r and s) and the PKCS#11 form (r || s, each the
// length of the curve's order).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quillard::module {

class EcdsaSignature {
public:
    // Empty when `der` is no DER-encoded ECDSA signature or a number is longer than `half` bytes.
    static std::vector<uint8_t> toRaw(std::span<const uint8_t> der, std::size_t half);
    // Empty when `raw` has an odd length.
    static std::vector<uint8_t> toDer(const uint8_t* raw, std::size_t size);
};

} // namespace quillard::module
