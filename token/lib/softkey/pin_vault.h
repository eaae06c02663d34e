// PIN verifiers and master-key wrapping. One PBKDF2-HMAC-SHA256 call over the PIN and a per-PIN random salt
// gives a secret from which two halves are drawn: the verifier, which is stored, and the key-encryption key
// (KEK) that seals the key's master key. The KEK is never stored, so the master key opens only for someone
// who knows a PIN.
#pragma once

#include "key_records.h"
#include "token/lib/driver.h"
#include "token/lib/secure_bytes.h"

namespace quillard::softkey {

class PinVault {
public:
    static constexpr std::size_t kSaltSize = 16;
    static constexpr std::size_t kHalfSize = 32;

    explicit PinVault(int iterations) : iterations_(iterations) {}

    // A fresh random 32-byte master key.
    static SecureBytes newMasterKey();

    // The record for a new `pin`: a fresh salt, its verifier and `masterKey` sealed under its KEK; all
    // retries left.
    PinRecord seal(PinKind kind, const SecureString& pin, const PinPolicy& policy,
                   const SecureBytes& masterKey) const;

    // True when `pin` matches the record; then `masterKey` receives the unsealed master key. Throws
    // SoftkeyError(QR_DEVICE_ERROR) when the PIN matches but the sealed master key is damaged.
    bool open(PinKind kind, const SecureString& pin, const PinRecord& record, SecureBytes& masterKey) const;

private:
    SecureBytes derive(const SecureString& pin, const std::vector<uint8_t>& salt) const;

    int iterations_;
};

} // namespace quillard::softkey
