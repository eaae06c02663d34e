// How a PIN stands: fine, low on tries, on its final try, locked, or unknown when the key does not tell.
#pragma once

#include "token/key_table.h"

namespace token::flows {

enum class PinHealth { Ok, Low, FinalTry, Locked, Unknown };

// Judges a PIN state as token_get_pin_state reads it. Low is fewer than half the tries left, or `countLow`
// (the token's own "count low" flag, for tokens that tell no counts). A key never initialised has no PIN
// to judge: Unknown.
PinHealth judgePin(const TPinState& state, bool countLow = false, bool initialised = true);

} // namespace token::flows
