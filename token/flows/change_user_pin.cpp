#include "change_user_pin.h"

#include "key_session.h"
#include "token/lib/quillard_errors.h"
#include "token/token_ops.h"

#include <cstring>

namespace token::flows {

namespace {

// On a PIN-pad reader both PINs are typed on the reader during the change itself: there is nothing to check
// first, and a refused old PIN is told by the change, with the tries the key then reports.
UserPinChangeOutcome changeOnReader(int32_t slot) {
    logOutKey(slot);
    const int32_t code = token_change_upin(slot, nullptr, nullptr);
    if (code == QR_OK)
        return {UserPinChangeResult::Changed, 0, 0};
    if (code == QR_DEVICE_REMOVED)
        return {UserPinChangeResult::KeyRemoved, code, 0};
    if (code == QR_PIN_INCORRECT || code == QR_PIN_LOCKED) {
        TPinState& state = keyTable().pinState;
        token_get_pin_state(slot, PinType::User, state);
        return {UserPinChangeResult::OldPinRefused, code, state.retriesLeft};
    }
    return {UserPinChangeResult::ChangeFailed, code, 0};
}

} // namespace

UserPinChangeOutcome changeUserPin(int32_t slot, const char* oldPin, const char* newPin) {
    if (!oldPin && !newPin)
        return changeOnReader(slot);
    const TZartoInfo& record = keyTable().keys[slot];
    const auto newLength = static_cast<int64_t>(std::strlen(newPin));
    if (newLength < record.minPinLength || newLength > record.maxPinLength)
        return {UserPinChangeResult::NewPinLengthOutside, 0, 0};
    logOutKey(slot);
    const Login proof = logInUser(slot, oldPin);
    if (proof.keyRemoved())
        return {UserPinChangeResult::KeyRemoved, proof.code, 0};
    if (!proof.succeeded())
        return {UserPinChangeResult::OldPinRefused, proof.code, proof.triesLeft};
    logOutKey(slot);
    const int32_t code = token_change_upin(slot, oldPin, newPin);
    if (code == 0)
        return {UserPinChangeResult::Changed, 0, 0};
    const Login check = logInUser(slot, oldPin);
    if (!check.succeeded())
        return {UserPinChangeResult::OldPinRefused, check.code, check.triesLeft};
    // The login state stays "not logged in"; the next use of the key starts with a logout.
    return {UserPinChangeResult::ChangeFailed, code, 0};
}

} // namespace token::flows
