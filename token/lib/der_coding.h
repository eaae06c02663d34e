// DER encoding and decoding through OpenSSL's i2d and d2i functions, with the checks every caller needs: a
// decoded input must be exactly one structure (no trailing bytes), and an encoding must come out whole.
#pragma once

#include <openssl/err.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <utility>

namespace quillard {

// Decodes `size` bytes with the d2i function `decode` into the owning handle `Handle`, e.g.
// decodeWholeDer<X509Ptr>(d2i_X509, der, size). Null when the bytes are empty, hold anything but exactly one
// structure or cannot be decoded; OpenSSL's error queue is left empty either way, so a refused input leaves
// nothing behind for a later call to trip over.
template <typename Handle, typename Decode>
Handle decodeWholeDer(Decode decode, const uint8_t* der, std::size_t size) {
    if (!der || size == 0 || size > static_cast<std::size_t>(LONG_MAX))
        return nullptr;
    const unsigned char* cursor = der;
    Handle object(decode(nullptr, &cursor, static_cast<long>(size)));
    ERR_clear_error();
    if (!object || cursor != der + size)
        return nullptr;
    return object;
}

// Encodes `object` with the i2d function `encode` into `out`, a byte vector (SecureBytes for a private key).
// False when it cannot be encoded; `out` is then left alone.
template <typename Bytes, typename Object, typename Encode>
bool encodeDer(Encode encode, const Object* object, Bytes& out) {
    const int length = encode(object, nullptr);
    if (length <= 0)
        return false;
    Bytes bytes(static_cast<std::size_t>(length));
    unsigned char* cursor = bytes.data();
    if (encode(object, &cursor) != length)
        return false;
    out = std::move(bytes);
    return true;
}

} // namespace quillard
