// Setting a new user PIN with the SO PIN, which also unlocks a locked user PIN. token_set_upin proves the SO
// PIN itself, so the cause of a refusal is read from its own result: a second SO login to find out would
// spend another SO retry. The key is logged out before and after, whatever the outcome.
#pragma once

#include "key_session.h"

#include <cstdint>

namespace token::flows {

enum class UnlockResult { Unlocked, SoPinRefused, Failed };
using UnlockOutcome = Outcome<UnlockResult>;

UnlockOutcome unlockUserPin(int32_t slot, const char* soPin, const char* newUserPin);

} // namespace token::flows
