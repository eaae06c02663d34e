// SubjectPublicKeyInfo structures built straight from a token's key attributes, and the key sizes they
// carry, without OpenSSL's key encoders (which cost many times the rest of a token read).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace quillard::pkcs11 {

// The DER SubjectPublicKeyInfo of an RSA key from CKA_MODULUS and CKA_PUBLIC_EXPONENT (big-endian).
std::vector<uint8_t> rsaPublicKeyInfo(const std::vector<uint8_t>& modulus,
                                      const std::vector<uint8_t>& exponent);
// The DER SubjectPublicKeyInfo of an EC key from CKA_EC_PARAMS (a named curve's OID) and the bare point.
std::vector<uint8_t> ecPublicKeyInfo(const std::vector<uint8_t>& parameters,
                                     const std::vector<uint8_t>& point);

// The bits of a big-endian unsigned number.
int32_t bitLength(const std::vector<uint8_t>& number);
// The size in bits of the named curves tokens commonly hold (P-256, P-384, P-521, secp256k1), from their
// CKA_EC_PARAMS; nothing for another curve.
std::optional<int32_t> knownCurveBits(const std::vector<uint8_t>& parameters);

} // namespace quillard::pkcs11
