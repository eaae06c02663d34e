// PIN checks with retry counting on one key, done as smart cards do in two write transactions of the caller.
// The first spends a try before the PIN is checked and is committed on its own; the second checks the PIN,
// gives the try back after the right PIN and writes the counter unchanged after a wrong one. So every attempt
// writes alike, and a process killed anywhere after the first commit has spent its try: a right PIN cannot
// be told from a wrong one by what is written, and no crash or second process wins a try back.
#pragma once

#include "key_database.h"
#include "pin_vault.h"
#include "token/lib/driver.h"
#include "token/lib/quillard_errors.h"
#include "token/lib/secure_bytes.h"

#include <optional>

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

    // The first step: lowers the counter of `kind` by one and returns std::nullopt, after which the caller
    // commits. Writes nothing and returns the answer when the PIN cannot be tried:
    // QR_USER_PIN_NOT_INITIALIZED for a PIN not set yet (the user PIN after a token initialisation),
    // QR_PIN_LOCKED with 0 tries, QR_PIN_LEN_RANGE with the tries left for a PIN whose length the policy does
    // not allow.
    std::optional<Outcome> spendTry(PinKind kind, const SecureString& pin);
    // The second step, in a transaction begun after the first was committed: QR_OK with the master key and
    // the counter full; QR_PIN_INCORRECT with the tries left, or QR_PIN_LOCKED with 0 when the spent try was
    // the last. The counter is written either way; the caller commits whatever the outcome.
    Outcome settle(PinKind kind, const SecureString& pin);
    // Makes `pin` the PIN of `kind`, sealing the master key under it; its counter is full again.
    void replace(PinKind kind, const SecureString& pin, const SecureBytes& masterKey);

private:
    KeyDatabase& database_;
    PinVault vault_;
    bool initialised_;
};

} // namespace quillard::softkey
