// The attributes that follow from a key's or a certificate's DER form: the public parts of RSA and EC keys
// and the names of a certificate. (The shared CKA_ID of a pair and its certificate is keyIdOf() of
// key_description.h, as the PKCS#11 driver gives it.)
#pragma once

#include "attribute_set.h"

#include <openssl/evp.h>

#include <cstdint>
#include <vector>

namespace quillard::module {

class KeyAttributes {
public:
    // CKA_KEY_TYPE, CKA_MODULUS, CKA_MODULUS_BITS and CKA_PUBLIC_EXPONENT of an RSA key, CKA_EC_PARAMS and
    // CKA_EC_POINT of an EC key, and CKA_PUBLIC_KEY_INFO.
    static void addPublicParts(AttributeSet& attributes, const std::vector<uint8_t>& spki);
    // CKA_SUBJECT, CKA_ISSUER and CKA_SERIAL_NUMBER of a DER certificate (nothing when it does not parse).
    static void addCertificateNames(AttributeSet& attributes, const std::vector<uint8_t>& certificate);
    // The curve of a CKA_EC_PARAMS value, as OpenSSL names it; nullptr when it names none we keep.
    static const char* curveOf(const std::vector<uint8_t>& ecParams);
};

} // namespace quillard::module
