// One signing or verifying operation of a session: the key, the mechanism with its parameters, and the data
// handed over so far (C_SignUpdate and C_VerifyUpdate add to it; the final call signs or verifies it whole).
// Signatures have the PKCS#11 forms: RSA as the big-endian integer of the modulus length, ECDSA as r || s.
#pragma once

#include "mechanism_table.h"
#include "token/lib/openssl_handles.h"

#include <openssl/evp.h>

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace quillard::module {

// The signing context a signature leaves behind for the next one with the same key and mechanism: setting
// one up (fetching the algorithm, copying the key's reference, the padding) costs nearly as much as an EC
// signature itself, and OpenSSL signs with one context again and again.
struct KeptSigningContext {
    EvpPkeyPtr key;
    CK_MECHANISM_TYPE mechanism = 0;
    PkeyContextPtr context;
};

class SignatureOperation {
public:
    // Throws ModuleError: CKR_KEY_TYPE_INCONSISTENT when `key` does not fit the mechanism,
    // CKR_MECHANISM_PARAM_INVALID for parameters it cannot take.
    SignatureOperation(const Mechanism& mechanism, const CK_MECHANISM& parameters, EvpPkeyPtr key);
    // A signing operation that takes over `kept` when it was left by the same key and mechanism (one without
    // parameters); else it sets up its own context and leaves `kept` alone.
    SignatureOperation(const Mechanism& mechanism, const CK_MECHANISM& parameters, EvpPkeyPtr key,
                       std::optional<KeptSigningContext>& kept);

    void update(const uint8_t* data, std::size_t size);
    // The length of every signature of this key.
    std::size_t signatureLength() const;
    // Signs what update() collected. Throws CKR_DATA_LEN_RANGE when the data does not fit the mechanism.
    std::vector<uint8_t> sign();
    // After a successful sign(): leaves its signing context in `kept` for the next signature, when the
    // mechanism takes no parameters.
    void keepSigningContext(std::optional<KeptSigningContext>& kept);
    // True when `signature` is a valid signature of the data; CKR_SIGNATURE_LEN_RANGE for a length no
    // signature of this key has.
    bool verify(const uint8_t* signature, std::size_t size) const;

private:
    using Digest = std::array<uint8_t, EVP_MAX_MD_SIZE>;
    // What the key operation receives: the data itself for a raw mechanism, else its digest, made in
    // `digest`.
    std::span<const uint8_t> toBeSigned(Digest& digest) const;
    PkeyContextPtr context(bool signing) const;
    void readPssParameters(const CK_MECHANISM& parameters);

    const Mechanism& mechanism_;
    EvpPkeyPtr key_;
    CK_MECHANISM_TYPE type_;
    bool hasParameters_;
    bool isEc_;
    PkeyContextPtr signing_; // kept from an earlier signature, or made by the first sign()
    std::vector<uint8_t> data_;
    const EVP_MD* pssDigest_ = nullptr;
    const EVP_MD* pssMgf_ = nullptr;
    int pssSaltLength_ = 0;
};

} // namespace quillard::module
