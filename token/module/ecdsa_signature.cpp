#include "ecdsa_signature.h"

#include "token/lib/openssl_handles.h"

#include <openssl/bn.h>
#include <openssl/ecdsa.h>

namespace quillard::module {

namespace {

using EcdsaSigPtr = OpenSslPtr<ECDSA_SIG, ECDSA_SIG_free>;

} // namespace

std::vector<uint8_t> EcdsaSignature::toRaw(const std::vector<uint8_t>& der, std::size_t half) {
    const unsigned char* in = der.data();
    EcdsaSigPtr signature(d2i_ECDSA_SIG(nullptr, &in, static_cast<long>(der.size())));
    if (!signature)
        return {};
    std::vector<uint8_t> raw(2 * half);
    const BIGNUM* r = ECDSA_SIG_get0_r(signature.get());
    const BIGNUM* s = ECDSA_SIG_get0_s(signature.get());
    if (BN_bn2binpad(r, raw.data(), static_cast<int>(half)) < 0 ||
        BN_bn2binpad(s, raw.data() + half, static_cast<int>(half)) < 0)
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
