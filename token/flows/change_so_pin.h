// Changing the SO PIN: the key is logged out first (no SO login on top of a user login), the old SO PIN is
// proven with an SO login, then changed; the key is logged out afterwards whatever the outcome.
#pragma once

#include "key_session.h"

#include <cstdint>

namespace token::flows {

enum class SoPinChangeResult { Changed, OldPinRefused, ChangeFailed };
using SoPinChangeOutcome = Outcome<SoPinChangeResult>;

SoPinChangeOutcome changeSoPin(int32_t slot, const char* oldSoPin, const char* newSoPin);

} // namespace token::flows
