#include "change_user_pin.h"

#include "key_session.h"
#include "token/token_ops.h"

#include <cstring>

namespace token::flows {

UserPinChangeOutcome changeUserPin(int32_t slot, const char* oldPin, const char* newPin) {
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
