#include "personalisation.h"

#include "softkey_error.h"

namespace quillard::softkey {

namespace {

void checkPolicy(const PinPolicy& policy, const char* which) {
    if (!policy.isValid())
        throw SoftkeyError(QR_ARGUMENTS_BAD,
                           std::string("the ") + which +
                               " PIN policy needs lengths of 1 to 32 with the minimum not above "
                               "the maximum, and 1 to 15 retries");
}

void checkPin(const PinPolicy& policy, const SecureString& pin, const char* which) {
    if (!policy.allows(pin.size()))
        throw SoftkeyError(QR_PIN_LEN_RANGE, std::string("the ") + which + " PIN must have " +
                                                 std::to_string(policy.minLength) + " to " +
                                                 std::to_string(policy.maxLength) + " characters");
}

PinRecord blankRecord(const PinPolicy& policy) {
    PinRecord record;
    record.policy = policy;
    record.retriesLeft = policy.maxRetries;
    return record;
}

} // namespace

void Personalisation::check() const {
    checkPolicy(userPolicy, "user");
    checkPolicy(soPolicy, "SO");
    checkPin(userPolicy, userPin, "user");
    checkPin(soPolicy, soPin, "SO");
}

void Personalisation::saveTo(KeyDatabase& database, const PinVault& vault) const {
    SecureBytes masterKey = PinVault::newMasterKey();
    database.savePin(PinKind::User, vault.seal(PinKind::User, userPin, userPolicy, masterKey));
    database.savePin(PinKind::SecurityOfficer,
                     vault.seal(PinKind::SecurityOfficer, soPin, soPolicy, masterKey));
}

void Personalisation::saveBlankTo(KeyDatabase& database) const {
    database.savePin(PinKind::User, blankRecord(userPolicy));
    database.savePin(PinKind::SecurityOfficer, blankRecord(soPolicy));
}

void Personalisation::saveBlankUserTo(KeyDatabase& database) const {
    database.savePin(PinKind::User, blankRecord(userPolicy));
}

} // namespace quillard::softkey
