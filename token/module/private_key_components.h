// A private key given by its PKCS#11 components (CKA_MODULUS .. CKA_COEFFICIENT of an RSA key, CKA_EC_PARAMS
// and CKA_VALUE of an EC key), turned into an OpenSSL key.
#pragma once

#include "template_reader.h"
#include "token/lib/openssl_handles.h"

namespace quillard::module {

class PrivateKeyComponents {
public:
    // Throws ModuleError: CKR_TEMPLATE_INCOMPLETE for a missing component, CKR_ATTRIBUTE_VALUE_INVALID for
    // a key that does not hold together, CKR_CURVE_NOT_SUPPORTED for a curve other than P-256 and P-384,
    // CKR_KEY_TYPE_INCONSISTENT for a key type neither RSA nor EC.
    static EvpPkeyPtr read(const TemplateReader& attributes);

private:
    static EvpPkeyPtr rsa(const TemplateReader& attributes);
    static EvpPkeyPtr ec(const TemplateReader& attributes);
};

} // namespace quillard::module
