// Signs a digest with a private key held in memory: RSA keys with PKCS#1 v1.5 padding, EC keys with ECDSA,
// whose signature comes out as DER, the form certificates and requests carry.
#pragma once

#include "token/lib/driver.h"
#include "token/lib/openssl_handles.h"

#include <string>
#include <vector>

namespace quillard::softkey {

// `digest` names the digest `hash` was made with ("SHA256", "SHA384"); a hash of another length, or a key
// that is neither RSA nor EC, gives QR_ARGUMENTS_BAD.
Result signDigestWith(EVP_PKEY* key, const std::string& digest, const std::vector<uint8_t>& hash,
                      std::vector<uint8_t>& signature);

} // namespace quillard::softkey
