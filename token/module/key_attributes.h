// The attributes that follow from a key's or a certificate's DER form: the public parts of RSA and EC keys,
// the shared CKA_ID of a key pair and its certificate, and the names of a certificate.
#pragma once

#include "attribute_set.h"

#include <openssl/evp.h>

#include <cstdint>
#include <vector>

namespace quillard::module {

class KeyAttributes {
public:
    // SHA-1 of the public key bits of a SubjectPublicKeyInfo: the CKA_ID of the pair and its certificate.
    static std::vector<uint8_t> keyId(const std::vector<uint8_t>& spki);
    // CKA_KEY_TYPE, CKA_MODULUS, CKA_MODULUS_BITS and CKA_PUBLIC_EXPONENT of an RSA key, CKA_EC_PARAMS and
    // CKA_EC_POINT of an EC key, and CKA_PUBLIC_KEY_INFO.
    static void addPublicParts(AttributeSet& attributes, const std::vector<uint8_t>& spki);
    // CKA_SUBJECT, CKA_ISSUER and CKA_SERIAL_NUMBER of a DER certificate (nothing when it does not parse).
    static void addCertificateNames(AttributeSet& attributes, const std::vector<uint8_t>& certificate);
    // The DER OBJECT IDENTIFIER of a named curve ("prime256v1", "secp384r1"); empty for another name.
    static std::vector<uint8_t> curveOid(const char* curveName);
    // The curve of a CKA_EC_PARAMS value, as OpenSSL names it; nullptr when it names none we keep.
    static const char* curveOf(const std::vector<uint8_t>& ecParams);
    // An EC point wrapped as a DER OCTET STRING, as CKA_EC_POINT holds it.
    static std::vector<uint8_t> wrapEcPoint(const std::vector<uint8_t>& point);
};

} // namespace quillard::module
