// One signing or verifying operation of a session: the key, the mechanism with its parameters, and the data
// handed over so far (C_SignUpdate and C_VerifyUpdate add to it; the final call signs or verifies it whole).
// Signatures have the PKCS#11 forms: RSA as the big-endian integer of the modulus length, ECDSA as r || s.
#pragma once

#include "mechanism_table.h"
#include "token/lib/openssl_handles.h"

#include <cstdint>
#include <vector>

namespace quillard::module {

class SignatureOperation {
public:
    // Throws ModuleError: CKR_KEY_TYPE_INCONSISTENT when `key` does not fit the mechanism,
    // CKR_MECHANISM_PARAM_INVALID for parameters it cannot take.
    SignatureOperation(const Mechanism& mechanism, const CK_MECHANISM& parameters, EvpPkeyPtr key);

    void update(const uint8_t* data, std::size_t size);
    // The length of every signature of this key.
    std::size_t signatureLength() const;
    // Signs what update() collected. Throws CKR_DATA_LEN_RANGE when the data does not fit the mechanism.
    std::vector<uint8_t> sign() const;
    // True when `signature` is a valid signature of the data; CKR_SIGNATURE_LEN_RANGE for a length no
    // signature of this key has.
    bool verify(const uint8_t* signature, std::size_t size) const;

private:
    using PkeyContextPtr = OpenSslPtr<EVP_PKEY_CTX, EVP_PKEY_CTX_free>;

    // What the key operation receives: the digest of the data, or the data itself for a raw mechanism.
    std::vector<uint8_t> toBeSigned() const;
    PkeyContextPtr context(bool signing) const;
    void readPssParameters(const CK_MECHANISM& parameters);

    const Mechanism& mechanism_;
    EvpPkeyPtr key_;
    std::vector<uint8_t> data_;
    const EVP_MD* pssDigest_ = nullptr;
    const EVP_MD* pssMgf_ = nullptr;
    int pssSaltLength_ = 0;
};

} // namespace quillard::module
