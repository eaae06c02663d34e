// One decryption of a session with an exchange key: RSA PKCS#1 v1.5 or OAEP. C_DecryptUpdate collects the
// ciphertext; the final call decrypts it whole.
#pragma once

#include "mechanism_table.h"
#include "token/lib/openssl_handles.h"
#include "token/lib/secure_bytes.h"

#include <cstdint>
#include <vector>

namespace quillard::module {

class DecryptOperation {
public:
    // Throws ModuleError: CKR_KEY_TYPE_INCONSISTENT for a key that is not RSA, CKR_MECHANISM_PARAM_INVALID
    // for OAEP parameters it cannot take.
    DecryptOperation(const Mechanism& mechanism, const CK_MECHANISM& parameters, EvpPkeyPtr key);

    void update(const uint8_t* data, std::size_t size);
    // The longest plain text a ciphertext of this key can give.
    std::size_t maxPlainLength() const { return static_cast<std::size_t>(EVP_PKEY_get_size(key_.get())); }
    // CKR_ENCRYPTED_DATA_LEN_RANGE for a ciphertext of the wrong length, CKR_ENCRYPTED_DATA_INVALID for one
    // that does not decrypt.
    SecureBytes decrypt() const;

private:
    void readOaepParameters(const CK_MECHANISM& parameters);

    const Mechanism& mechanism_;
    EvpPkeyPtr key_;
    std::vector<uint8_t> data_;
    const EVP_MD* oaepDigest_ = nullptr;
    const EVP_MD* oaepMgf_ = nullptr;
    std::vector<uint8_t> oaepLabel_;
};

} // namespace quillard::module
