// The shared secret of an ECDH key agreement between a private key of the key and another party's public
// point (CKM_ECDH1_DERIVE with no key derivation function: the secret is the x coordinate of the shared
// point, as long as the curve's field). A recovery key on a virtual key opens data sealed to it by ECDH this
// way, and its private key never leaves the key.
#pragma once

#include "token/lib/openssl_handles.h"
#include "token/lib/pkcs11/cryptoki.h"
#include "token/lib/secure_bytes.h"

namespace quillard::module {

class EcdhDerivation {
public:
    // The secret of `own` with the point `mechanism`'s CK_ECDH1_DERIVE_PARAMS give (the bare point or the
    // point in a DER OCTET STRING, as callers differ). Throws ModuleError: CKR_MECHANISM_PARAM_INVALID for
    // missing parameters, a derivation function other than CKD_NULL, shared data, or a point that is not one
    // of the key's curve; CKR_KEY_TYPE_INCONSISTENT when `own` is no EC key.
    static SecureBytes sharedSecret(EVP_PKEY* own, const CK_MECHANISM& mechanism);
};

} // namespace quillard::module
