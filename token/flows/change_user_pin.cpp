#include "change_user_pin.h"

#include "token/token_ops.h"
#include "user_login.h"

namespace token::flows {

UserPinChangeOutcome changeUserPin(int32_t slot, const char* oldPin, const char* newPin) {
    logOutKey(slot);
    const UserLogin proof = logInUser(slot, oldPin);
    if (proof.keyRemoved())
        return {UserPinChangeResult::KeyRemoved, proof.code, 0};
    if (!proof.succeeded())
        return {UserPinChangeResult::OldPinRefused, proof.code, proof.triesLeft};
    logOutKey(slot);
    const int32_t code = token_change_upin(slot, oldPin, newPin);
    if (code == 0)
        return {UserPinChangeResult::Changed, 0, 0};
    const UserLogin check = logInUser(slot, oldPin);
    if (!check.succeeded())
        return {UserPinChangeResult::OldPinRefused, check.code, check.triesLeft};
    // The login state stays "not logged in"; the next use of the key starts with a logout.
    return {UserPinChangeResult::ChangeFailed, code, 0};
}

} // namespace token::flows
