// What a format (or the creation of an initialised key) sets about the PINs: both policies and both PINs.
// Saving it makes a new master key and seals it under each PIN, so nothing sealed under the previous one
// opens any more.
#pragma once

#include "key_database.h"
#include "key_records.h"
#include "pin_vault.h"
#include "token/lib/secure_bytes.h"

namespace quillard::softkey {

struct Personalisation {
    PinPolicy userPolicy;
    PinPolicy soPolicy;
    SecureString userPin;
    SecureString soPin;

    // Throws SoftkeyError: QR_ARGUMENTS_BAD for a policy outside its bounds (lengths 1 to 32 with minimum <=
    // maximum, retries 1 to 15), QR_PIN_LEN_RANGE for a PIN its policy does not allow.
    void check() const;
    // Saves both PIN records with a fresh master key sealed under each PIN.
    void saveTo(KeyDatabase& database, const PinVault& vault) const;
    // Saves both policies without PINs, as on a blank key.
    void saveBlankTo(KeyDatabase& database) const;
    // Saves the user policy without a user PIN, leaving the SO PIN as it is.
    void saveBlankUserTo(KeyDatabase& database) const;
};

} // namespace quillard::softkey
