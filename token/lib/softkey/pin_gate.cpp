#include "pin_gate.h"

#include "softkey_error.h"

#include <algorithm>

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

std::optional<PinGate::Outcome> PinGate::spendTry(PinKind kind, const SecureString& pin) {
    requireInitialised();
    PinRecord record = database_.pin(kind);
    Outcome outcome;
    outcome.retriesLeft = record.retriesLeft;
    if (!record.isSet()) {
        outcome.result = QR_USER_PIN_NOT_INITIALIZED;
        return outcome;
    }
    if (record.isLocked()) {
        outcome.result = QR_PIN_LOCKED;
        outcome.retriesLeft = 0;
        return outcome;
    }
    // A PIN the policy cannot allow is refused before it is tried, as real tokens do: it costs no try.
    if (!record.policy.allows(pin.size())) {
        outcome.result = QR_PIN_LEN_RANGE;
        return outcome;
    }
    database_.setRetriesLeft(kind, record.retriesLeft - 1);
    return std::nullopt;
}

PinGate::Outcome PinGate::settle(PinKind kind, const SecureString& pin) {
    requireInitialised();
    // Read again: another process may have changed the PIN or the counter since the try was spent.
    PinRecord record = database_.pin(kind);
    Outcome outcome;
    if (!record.isSet()) {
        outcome.result = QR_USER_PIN_NOT_INITIALIZED;
        outcome.retriesLeft = record.retriesLeft;
        return outcome;
    }
    // The counter may stand at 0 now: the try spent for this check was the last one, and it is still checked.
    const bool right = record.policy.allows(pin.size()) && vault_.open(kind, pin, record, outcome.masterKey);
    outcome.retriesLeft = right ? record.policy.maxRetries : std::max(record.retriesLeft, 0);
    // SQLite writes nothing for a row set to what it holds, as the counter is after a wrong PIN; passing
    // through a value no outcome has makes both outcomes write the same pages.
    database_.setRetriesLeft(kind, -1);
    database_.setRetriesLeft(kind, outcome.retriesLeft);
    if (!right)
        outcome.result = outcome.retriesLeft > 0 ? QR_PIN_INCORRECT : QR_PIN_LOCKED;
    return outcome;
}

void PinGate::replace(PinKind kind, const SecureString& pin, const SecureBytes& masterKey) {
    database_.savePin(kind, vault_.seal(kind, pin, database_.pin(kind).policy, masterKey));
}

} // namespace quillard::softkey
