#include "pin_gate.h"

#include "softkey_error.h"

namespace quillard::softkey {

PinGate::PinGate(KeyDatabase& database, const KeyRecord& key)
    : database_(database), vault_(key.kdfIterations), initialised_(key.initialised) {}

void PinGate::requireInitialised() const {
    if (!initialised_)
        throw SoftkeyError(QR_USER_PIN_NOT_INITIALIZED, "the key has not been initialised");
}

void PinGate::requireAllowed(PinKind kind, const SecureString& pin) {
    if (!database_.pin(kind).policy.allows(pin.size()))
        throw SoftkeyError(QR_PIN_LEN_RANGE, "the new PIN's length is outside the key's PIN policy");
}

PinGate::Outcome PinGate::verify(PinKind kind, const SecureString& pin) {
    requireInitialised();
    PinRecord record = database_.pin(kind);
    Outcome outcome;
    if (!record.isSet()) {
        outcome.result = QR_USER_PIN_NOT_INITIALIZED;
        outcome.retriesLeft = record.retriesLeft;
        return outcome;
    }
    if (record.isLocked()) {
        outcome.result = QR_PIN_LOCKED;
        return outcome;
    }
    // A PIN the policy cannot allow is refused before it is tried, as real tokens do: it costs no try.
    if (!record.policy.allows(pin.size())) {
        outcome.result = QR_PIN_LEN_RANGE;
        outcome.retriesLeft = record.retriesLeft;
        return outcome;
    }
    if (vault_.open(kind, pin, record, outcome.masterKey)) {
        if (record.retriesLeft != record.policy.maxRetries)
            database_.setRetriesLeft(kind, record.policy.maxRetries);
        outcome.retriesLeft = record.policy.maxRetries;
        return outcome;
    }
    outcome.retriesLeft = record.retriesLeft - 1;
    database_.setRetriesLeft(kind, outcome.retriesLeft);
    outcome.result = outcome.retriesLeft > 0 ? QR_PIN_INCORRECT : QR_PIN_LOCKED;
    return outcome;
}

void PinGate::replace(PinKind kind, const SecureString& pin, const SecureBytes& masterKey) {
    database_.savePin(kind, vault_.seal(kind, pin, database_.pin(kind).policy, masterKey));
}

} // namespace quillard::softkey
