// The user login a command works under: the checks the window makes before using the user PIN (a key never
// initialised, a locked user PIN), the PIN asked for, the login with the objects reloaded, and the logout
// when the command is done with the key, whatever happened.
#pragma once

#include "invocation.h"

#include <cstdint>

namespace cli {

class UserSession {
public:
    // Logs in to `key` with the user PIN from the invocation's secrets; a Failure when the key is not
    // initialised, the PIN is locked or refused.
    UserSession(Invocation& invocation, const FoundKey& key);
    ~UserSession();
    UserSession(const UserSession&) = delete;
    UserSession& operator=(const UserSession&) = delete;

private:
    int32_t slot_;
};

// A Failure with Init_Info when `key` was never initialised.
void requireInitialised(const FoundKey& key);
// The refusal of a user PIN: locked when no tries are left (or the library did not say), else the tries left.
QString refusedPinText(int32_t triesLeft);

// The refusal of an old PIN that was to be changed, with the tries left as the window says it.
QString refusedOldPinText(int32_t triesLeft);

// The provider name the window registers certificates under.
std::string providerName();

} // namespace cli
