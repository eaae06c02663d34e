// PIN checks with retry counting on one key, inside the caller's write transaction. A wrong PIN lowers the
// PIN's counter and a right one restores it; the counter is saved here, so the caller commits whatever the
// outcome and a crash or a second process can never win back a try.
#pragma once

#include "key_database.h"
#include "pin_vault.h"
#include "token/lib/driver.h"
#include "token/lib/quillard_errors.h"
#include "token/lib/secure_bytes.h"

namespace quillard::softkey {

class PinGate {
public:
    struct Outcome {
        Result result = QR_OK;
        int32_t retriesLeft = 0;
        SecureBytes masterKey; // set when the PIN was right
    };

    PinGate(KeyDatabase& database, const KeyRecord& key);

    // Throws SoftkeyError(QR_USER_PIN_NOT_INITIALIZED) on a blank key.
    void requireInitialised() const;
    // Throws SoftkeyError(QR_PIN_LEN_RANGE) when the policy of `kind` does not allow `pin`.
    void requireAllowed(PinKind kind, const SecureString& pin);

    // QR_USER_PIN_NOT_INITIALIZED for a PIN not set yet (the user PIN after a token initialisation);
    // QR_OK with the master key and the counter full; QR_PIN_INCORRECT with the tries left after lowering the
    // counter, QR_PIN_LOCKED with 0 when this try used the last one or the PIN was locked already;
    // QR_PIN_LEN_RANGE with the tries left unchanged for a PIN whose length the policy does not allow.
    Outcome verify(PinKind kind, const SecureString& pin);
    // Makes `pin` the PIN of `kind`, sealing the master key under it; its counter is full again.
    void replace(PinKind kind, const SecureString& pin, const SecureBytes& masterKey);

private:
    KeyDatabase& database_;
    PinVault vault_;
    bool initialised_;
};

} // namespace quillard::softkey
