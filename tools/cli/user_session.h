// The PIN checks and the user login a command works under: the checks the window makes before a PIN is used
// (a key never initialised, a locked PIN), the user PIN asked for, the login with the objects reloaded, and
// the logout when the command is done with the key, whatever happened.
#pragma once

#include "invocation.h"
#include "token/key_table.h"

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

// A Failure with Init_Info when `key` was never initialised, or with K_Dead when its PIN of `type` is
// locked.
void requireUsablePin(const FoundKey& key, token::PinType type);

// The provider name the window registers certificates under.
std::string providerName();

} // namespace cli
