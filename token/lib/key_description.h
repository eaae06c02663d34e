// What a driver needs to know about a key: its algorithm (RSA or elliptic curve), its length in bits and its
// encodings.
#pragma once

#include "credential.h"
#include "driver.h"
#include "openssl_handles.h"
#include "secure_bytes.h"

#include <cstdint>
#include <vector>

namespace quillard {

// Algorithm, bits and SubjectPublicKeyInfo of `key`. RSA (including RSA-PSS) and EC keys are described;
// any other algorithm gives QR_FUNCTION_NOT_SUPPORTED.
Result describePublicKey(const EVP_PKEY* key, KeyDescription& out);

// The same from a DER SubjectPublicKeyInfo; bytes that are not exactly one such structure give
// QR_ARGUMENTS_BAD.
Result describePublicKey(const std::vector<uint8_t>& spkiDer, KeyDescription& out);

// The private key of `key` as DER PKCS#8 PrivateKeyInfo, in wiping storage.
Result encodePrivateKey(const EVP_PKEY* key, SecureBytes& pkcs8Der);

// The key held by a DER SubjectPublicKeyInfo or PKCS#8 PrivateKeyInfo; null unless the bytes are exactly one
// such structure.
EvpPkeyPtr decodePublicKey(const std::vector<uint8_t>& spkiDer);
EvpPkeyPtr decodePrivateKey(const SecureBytes& pkcs8Der);

// The CKA_ID this program gives a key pair and its certificate: the SHA-1 of the public key bits of a DER
// SubjectPublicKeyInfo. Empty when the bytes are no such structure.
std::vector<uint8_t> keyIdOf(const std::vector<uint8_t>& spkiDer);

// The named curve of an EC key as CKA_EC_PARAMS holds it (the DER OID); empty when it has no named curve.
std::vector<uint8_t> ecParametersOf(const EVP_PKEY* key);
// The public point of an EC key as CKA_EC_POINT holds it (a DER OCTET STRING); empty when it has none.
std::vector<uint8_t> ecPointOf(const EVP_PKEY* key);

} // namespace quillard
