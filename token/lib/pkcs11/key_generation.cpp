#include "key_generation.h"

#include "token/lib/openssl_handles.h"

#include <openssl/bn.h>
#include <openssl/ec.h>

#include <algorithm>
#include <optional>
#include <stdexcept>

namespace quillard::pkcs11 {

namespace {

using Bytes = std::vector<uint8_t>;
using EcdsaSignaturePtr = OpenSslPtr<ECDSA_SIG, ECDSA_SIG_free>;

// The named curves as CKA_EC_PARAMS holds them: the DER OIDs of P-256 and P-384.
const Bytes kP256Parameters{0x06, 0x08, 0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x03, 0x01, 0x07};
const Bytes kP384Parameters{0x06, 0x05, 0x2B, 0x81, 0x04, 0x00, 0x22};
const Bytes kPublicExponent{0x01, 0x00, 0x01};

// The DigestInfo headers that go before a SHA-256 or SHA-384 hash in an RSA PKCS#1 v1.5 signature.
const Bytes kSha256DigestInfo{0x30, 0x31, 0x30, 0x0d, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01,
                              0x65, 0x03, 0x04, 0x02, 0x01, 0x05, 0x00, 0x04, 0x20};
const Bytes kSha384DigestInfo{0x30, 0x41, 0x30, 0x0d, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01,
                              0x65, 0x03, 0x04, 0x02, 0x02, 0x05, 0x00, 0x04, 0x30};

std::optional<CK_MECHANISM_INFO> mechanismInfo(const Pkcs11Call& call, CK_SLOT_ID slot,
                                               CK_MECHANISM_TYPE type) {
    CK_MECHANISM_INFO info{};
    if (call.attempt("C_GetMechanismInfo", &CK_FUNCTION_LIST::C_GetMechanismInfo, slot, type, &info) !=
        CKR_OK)
        return std::nullopt;
    return info;
}

// Whether the token generates pairs of `bits` with `generation` and signs with `signing`. Some modules give
// curve sizes in bytes rather than bits; a largest size under 128 is read that way.
bool offers(const Pkcs11Call& call, CK_SLOT_ID slot, CK_MECHANISM_TYPE generation, CK_MECHANISM_TYPE signing,
            CK_ULONG bits) {
    std::optional<CK_MECHANISM_INFO> generate = mechanismInfo(call, slot, generation);
    std::optional<CK_MECHANISM_INFO> sign = mechanismInfo(call, slot, signing);
    if (!generate || !sign || !(generate->flags & CKF_GENERATE_KEY_PAIR) || !(sign->flags & CKF_SIGN))
        return false;
    const CK_ULONG unit = generation == CKM_EC_KEY_PAIR_GEN && generate->ulMaxKeySize < 128 ? 8 : 1;
    return generate->ulMinKeySize * unit <= bits && bits <= generate->ulMaxKeySize * unit;
}

AttributeSet keyHalf(CK_OBJECT_CLASS objectClass, const GeneratedKeyKind& kind, const std::string& label,
                     const Bytes& id) {
    AttributeSet set;
    set.addNumber(CKA_CLASS, objectClass)
        .addNumber(CKA_KEY_TYPE, kind.algorithm == AlgorithmRsa ? CKK_RSA : CKK_EC)
        .addFlag(CKA_TOKEN, true)
        .add(CKA_LABEL, label)
        .add(CKA_ID, id);
    return set;
}

} // namespace

std::vector<GeneratedKeyKind> generatedKindsOf(const Pkcs11Call& call, CK_SLOT_ID slot) {
    std::vector<GeneratedKeyKind> kinds;
    for (const GeneratedKeyKind& kind : kGeneratedKeyKinds) {
        const bool rsa = kind.algorithm == AlgorithmRsa;
        if (offers(call, slot, rsa ? CKM_RSA_PKCS_KEY_PAIR_GEN : CKM_EC_KEY_PAIR_GEN,
                   rsa ? CKM_RSA_PKCS : CKM_ECDSA, static_cast<CK_ULONG>(kind.bits)))
            kinds.push_back(kind);
    }
    return kinds;
}

GenerationRequest generationRequest(const GeneratedKeyKind& kind, const std::string& label, const Bytes& id,
                                    bool exchange) {
    GenerationRequest request;
    const bool rsa = kind.algorithm == AlgorithmRsa;
    request.mechanism.mechanism = rsa ? CKM_RSA_PKCS_KEY_PAIR_GEN : CKM_EC_KEY_PAIR_GEN;
    request.publicKey = keyHalf(CKO_PUBLIC_KEY, kind, label, id);
    request.publicKey.addFlag(CKA_PRIVATE, false)
        .addFlag(CKA_VERIFY, true)
        .addFlag(CKA_ENCRYPT, exchange)
        .addFlag(CKA_WRAP, exchange);
    if (rsa)
        request.publicKey.addNumber(CKA_MODULUS_BITS, static_cast<CK_ULONG>(kind.bits))
            .add(CKA_PUBLIC_EXPONENT, kPublicExponent);
    else
        request.publicKey.add(CKA_EC_PARAMS, kind.bits == 384 ? kP384Parameters : kP256Parameters);
    request.privateKey = keyHalf(CKO_PRIVATE_KEY, kind, label, id);
    request.privateKey.addFlag(CKA_PRIVATE, true)
        .addFlag(CKA_SENSITIVE, true)
        .addFlag(CKA_EXTRACTABLE, false)
        .addFlag(CKA_SIGN, true)
        .addFlag(CKA_DECRYPT, exchange)
        .addFlag(CKA_UNWRAP, exchange);
    return request;
}

SigningInput signingInput(int32_t algorithm, const std::string& digest, const Bytes& hash) {
    const bool sha384 = digest == "SHA384";
    if ((!sha384 && digest != "SHA256") || hash.size() != (sha384 ? 48u : 32u))
        throw std::invalid_argument("the digest is neither a SHA-256 nor a SHA-384 hash");
    if (algorithm != AlgorithmRsa)
        return {CKM_ECDSA, hash};
    SigningInput input{CKM_RSA_PKCS, sha384 ? kSha384DigestInfo : kSha256DigestInfo};
    input.data.insert(input.data.end(), hash.begin(), hash.end());
    return input;
}

Bytes ecdsaSignatureDer(const Bytes& raw) {
    if (raw.empty() || raw.size() % 2 != 0)
        throw std::invalid_argument("the token's ECDSA signature has no even length");
    const int half = static_cast<int>(raw.size() / 2);
    EcdsaSignaturePtr signature(ECDSA_SIG_new());
    BIGNUM* r = BN_bin2bn(raw.data(), half, nullptr);
    BIGNUM* s = BN_bin2bn(raw.data() + half, half, nullptr);
    if (!signature || !r || !s || ECDSA_SIG_set0(signature.get(), r, s) != 1) {
        BN_free(r);
        BN_free(s);
        throw std::bad_alloc();
    }
    int length = i2d_ECDSA_SIG(signature.get(), nullptr);
    Bytes der(static_cast<std::size_t>(std::max(length, 0)));
    unsigned char* cursor = der.data();
    if (length <= 0 || i2d_ECDSA_SIG(signature.get(), &cursor) != length)
        throw std::invalid_argument("the token's ECDSA signature does not encode");
    return der;
}

} // namespace quillard::pkcs11
