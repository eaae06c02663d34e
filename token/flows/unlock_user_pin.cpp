#include "unlock_user_pin.h"

#include "token/lib/quillard_errors.h"
#include "token/token_ops.h"

namespace token::flows {

UnlockOutcome unlockUserPin(int32_t slot, const char* soPin, const char* newUserPin) {
    logOutKey(slot);
    const int32_t code = token_set_upin(slot, soPin, newUserPin);
    logOutKey(slot);
    if (code == 0)
        return {UnlockResult::Unlocked, 0, 0};
    // A wrong SO PIN, or one locked by this try or before it.
    if (code == QR_PIN_INCORRECT || code == QR_PIN_LOCKED)
        return {UnlockResult::SoPinRefused, code, 0};
    return {UnlockResult::Failed, code, 0};
}

} // namespace token::flows
