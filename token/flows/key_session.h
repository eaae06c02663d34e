// The steps every key flow shares: logging a key out while keeping its login state in step, the checks before
// a PIN is used (the key was initialised, the PIN is not locked), the user and SO logins, and the outcome
// record the flows return.
#pragma once

#include "token/key_table.h"

#include <cstdint>

namespace token::flows {

// What a flow ended with: `result` says which way it went, `code` is the library's code of the failed call
// (0 when none failed) and `triesLeft` the tries a refused PIN has left.
template <typename Result> struct Outcome {
    Result result{};
    int32_t code = 0;
    int32_t triesLeft = 0;
};

// True when the PINs of `slot` are typed on its reader's PIN pad: the flows are then given no PINs.
bool pinsOnReader(int32_t slot);

// The PIN a flow is given: `pin`, or none (nullptr) on a PIN-pad reader, which asks for it itself.
inline const char* pinOrReader(const char* pin, bool onReader) {
    return onReader ? nullptr : pin;
}

// Logs `slot` out (result not examined) and sets its login state to "present, not logged in".
void logOutKey(int32_t slot);

// Refreshes the shared PIN state record for the PIN of `type` of `slot`; true when its locked flag is 1. A
// failed read counts as not locked.
bool pinLocked(int32_t slot, PinType type);
bool userPinLocked(int32_t slot);
bool soPinLocked(int32_t slot);

// Whether a PIN of a key may be used.
enum class PinCheck { Usable, NotInitialised, Locked };

// The checks before the PIN of `type` of `slot` is used, in this order: the key was initialised, then the
// PIN is not locked (its state read afresh).
PinCheck checkPin(int32_t slot, PinType type);

// How a login with a PIN ended.
enum class LoginResult { LoggedIn, PinRefused, KeyRemoved };

struct Login {
    LoginResult result = LoginResult::LoggedIn;
    int32_t code = 0;
    int32_t triesLeft = 0; // stays 0 when the library does not set it
    bool succeeded() const { return result == LoginResult::LoggedIn; }
    bool keyRemoved() const { return result == LoginResult::KeyRemoved; }
};

// Logs in to `slot` with the user PIN; the login state is left to the caller. A key pulled out before any
// rescan noticed answers KeyRemoved, every other refusal PinRefused.
Login logInUser(int32_t slot, const char* pin);
// Logs in to `slot` as the security officer with `soPin`.
Login logInSo(int32_t slot, const char* soPin);

// Marks `slot` logged in after a successful login and reloads the objects only a logged-in session sees.
void enterUserSession(int32_t slot);

// A user session on a key whose user PIN passed checkPin: the key logged out, logged in with `pin` and, when
// that worked, the session entered.
Login openCheckedUserSession(int32_t slot, const char* pin);

// What opening a user session ended with: the PIN check's refusal, or the login's outcome.
struct UserSession {
    PinCheck check = PinCheck::Usable;
    Login login;
    bool opened() const { return check == PinCheck::Usable && login.succeeded(); }
};

// checkPin for the user PIN, then openCheckedUserSession.
UserSession openUserSession(int32_t slot, const char* pin);

} // namespace token::flows
