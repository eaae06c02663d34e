// Changing the user PIN: a new PIN outside the key's length limits is refused before the key is asked; then
// the key is logged out, the old PIN is proven by a login first (so a wrong one costs
// a try and says how many are left), the key is logged out again and the PIN changed. When the change is
// refused, a second login tells a refusal of the new PIN (the old one still works) from a key that no longer
// accepts the old PIN. The key's login state ends "not logged in" (the library session of that check login is
// ended by the next use of the key, which always starts with a logout). With no PINs (a PIN-pad reader) both
// are typed on the reader during the change and nothing is checked before it.
#pragma once

#include "key_session.h"

#include <cstdint>

namespace token::flows {

enum class UserPinChangeResult { Changed, NewPinLengthOutside, OldPinRefused, KeyRemoved, ChangeFailed };
using UserPinChangeOutcome = Outcome<UserPinChangeResult>;

UserPinChangeOutcome changeUserPin(int32_t slot, const char* oldPin, const char* newPin);

} // namespace token::flows
