#include "change_so_pin.h"

#include "token/token_ops.h"

namespace token::flows {

SoPinChangeOutcome changeSoPin(int32_t slot, const char* oldSoPin, const char* newSoPin) {
    logOutKey(slot);
    const Login login = logInSo(slot, oldSoPin);
    if (!login.succeeded())
        return {SoPinChangeResult::OldPinRefused, login.code, login.triesLeft};
    const int32_t code = token_change_sopin(slot, oldSoPin, newSoPin);
    logOutKey(slot);
    if (code != 0)
        return {SoPinChangeResult::ChangeFailed, code, 0};
    return {SoPinChangeResult::Changed, 0, 0};
}

} // namespace token::flows
