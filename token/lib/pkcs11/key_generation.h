// Key pairs made on a PKCS#11 token and signatures made with them: which kinds the token's mechanisms
// allow, the templates of C_GenerateKeyPair, and the input and output forms of a signature over a digest.
#pragma once

#include "attribute_set.h"
#include "pkcs11_call.h"
#include "token/lib/driver.h"

#include <string>
#include <vector>

namespace quillard::pkcs11 {

// The kinds of kGeneratedKeyKinds the token of `slot` can generate and sign with, by its mechanism list and
// the key sizes of CK_MECHANISM_INFO.
std::vector<GeneratedKeyKind> generatedKindsOf(const Pkcs11Call& call, CK_SLOT_ID slot);

// What C_GenerateKeyPair takes for a pair of `kind` in container `label` under `id`: token objects, the
// private key sensitive and not extractable; `exchange` marks the pair for decryption and unwrapping too.
struct GenerationRequest {
    CK_MECHANISM mechanism{};
    AttributeSet publicKey;
    AttributeSet privateKey;
};
GenerationRequest generationRequest(const GeneratedKeyKind& kind, const std::string& label,
                                    const std::vector<uint8_t>& id, bool exchange);

// The mechanism and the data that sign the digest `hash` made with `digest` ("SHA256" or "SHA384") with a
// key of `algorithm`: CKM_RSA_PKCS over the DigestInfo, or CKM_ECDSA over the hash itself. Throws
// std::invalid_argument for another digest or a hash of the wrong length.
struct SigningInput {
    CK_MECHANISM_TYPE mechanism = 0;
    std::vector<uint8_t> data;
};
SigningInput signingInput(int32_t algorithm, const std::string& digest, const std::vector<uint8_t>& hash);

// An ECDSA signature as PKCS#11 gives it (r and s of equal length, one after the other) as the DER
// Ecdsa-Sig-Value certificates carry. Throws std::invalid_argument for an odd or empty length.
std::vector<uint8_t> ecdsaSignatureDer(const std::vector<uint8_t>& raw);

} // namespace quillard::pkcs11
