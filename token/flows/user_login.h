// Logging in with the user PIN, as the login page, the PIN change, the ISO writing and the command line do
// it: the lock check of the user PIN first, then the login; a session that should show what only a logged-in
// user sees also reloads the key's objects and marks the slot logged in.
#pragma once

#include <cstdint>

namespace token::flows {

struct UserLogin {
    int32_t code = 0;
    int32_t triesLeft = 0; // stays 0 when the library does not set it
    bool succeeded() const { return code == 0; }
    // The key was pulled out before any rescan noticed.
    bool keyRemoved() const { return code == kDeviceRemoved; }
    static constexpr int32_t kDeviceRemoved = 0x32;
};

// Refreshes the shared PIN state record for the user PIN of `slot`; true when its locked flag is 1. A failed
// read counts as not locked.
bool userPinLocked(int32_t slot);

// Logs in to `slot` with the user PIN; the login state is left to the caller.
UserLogin logInUser(int32_t slot, const char* pin);

// Marks `slot` logged in after a successful login and reloads the objects only a logged-in session sees.
void enterUserSession(int32_t slot);

} // namespace token::flows
