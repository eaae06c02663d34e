// The steps the login and the user PIN change share: the lock check of the user PIN, reading a PIN field in
// the form the library takes, and logging a key out and in while keeping its login state in step.
#pragma once

#include "platform/secret_bytes.h"
#include "token/flows/user_login.h"

#include <cstdint>

class QLineEdit;
class QWidget;

namespace ui {

// Refreshes the shared PIN state record for the user PIN of `key`; true when its locked flag is 1. The read's
// result is not examined, so a failed read counts as not locked.
bool userPinLocked(int32_t key);

// The checks before the user PIN of `key` is used: a key that was never initialised gets Init_Info, a locked
// user PIN gets K_Dead (message boxes owned by `owner`). True when the work may go on.
bool userPinUsable(QWidget* owner, int32_t key);
// The text of `field` in the locale's 8-bit form, NUL-terminated; wiped when the last copy goes. The one way
// to read a PIN field: a PinEdit gives its wiping buffer (its text() holds masks only).
platform::SecretBytes pinBytes(const QLineEdit& field);

// Logs `key` out (result not examined) and sets its login state to "present, not logged in".
void logOutKey(int32_t key);

using LoginOutcome = token::flows::UserLogin;

// Logs in to `key` with the user PIN `pin`; the login state is left to the caller.
LoginOutcome logInKey(int32_t key, const platform::SecretBytes& pin);

} // namespace ui
