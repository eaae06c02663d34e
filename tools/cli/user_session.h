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

// True when the PINs of `key` are typed on its reader's PIN pad: the command then asks for none and says
// where they are entered.
bool pinsTypedOnReader(Invocation& invocation, const FoundKey& key);

// The next secret of the invocation, or none when the PINs are typed on the reader.
platform::SecretBytes pinUnlessOnReader(Invocation& invocation, bool onReader, const QString& prompt);
// The same for a new PIN (typed twice at a terminal).
platform::SecretBytes newPinUnlessOnReader(Invocation& invocation, bool onReader, const QString& prompt,
                                           const QString& again);

// The provider name the window registers certificates under.
std::string providerName();

} // namespace cli
