#include "key_session.h"

#include "token/lib/quillard_errors.h"
#include "token/token_ops.h"

namespace token::flows {

namespace {

Login loginOutcome(int32_t code, int32_t triesLeft) {
    if (code == QR_OK)
        return {LoginResult::LoggedIn, code, triesLeft};
    return {code == QR_DEVICE_REMOVED ? LoginResult::KeyRemoved : LoginResult::PinRefused, code, triesLeft};
}

} // namespace

bool pinsOnReader(int32_t slot) {
    return keyTable().hasFlag(slot, QUILLARD_TOKEN_PIN_PAD);
}

void logOutKey(int32_t slot) {
    token_logout(slot);
    keyTable().loginState[slot] = KeyPresent;
}

bool pinLocked(int32_t slot, PinType type) {
    TPinState& state = keyTable().pinState;
    token_get_pin_state(slot, type, state);
    return state.locked == 1;
}

bool userPinLocked(int32_t slot) {
    return pinLocked(slot, PinType::User);
}

bool soPinLocked(int32_t slot) {
    return pinLocked(slot, PinType::So);
}

PinCheck checkPin(int32_t slot, PinType type) {
    if (keyTable().keys[slot].initialised == 0)
        return PinCheck::NotInitialised;
    return pinLocked(slot, type) ? PinCheck::Locked : PinCheck::Usable;
}

Login logInUser(int32_t slot, const char* pin) {
    int32_t triesLeft = 0;
    const int32_t code = token_login(slot, pin, triesLeft);
    return loginOutcome(code, triesLeft);
}

Login logInSo(int32_t slot, const char* soPin) {
    int32_t triesLeft = 0;
    const int32_t code = token_login_so(slot, soPin, triesLeft);
    return loginOutcome(code, triesLeft);
}

void enterUserSession(int32_t slot) {
    token_reload_all_objects(slot);
    keyTable().loginState[slot] = LoggedIn;
}

Login openCheckedUserSession(int32_t slot, const char* pin) {
    logOutKey(slot);
    const Login login = logInUser(slot, pin);
    if (login.succeeded())
        enterUserSession(slot);
    return login;
}

UserSession openUserSession(int32_t slot, const char* pin) {
    UserSession session;
    session.check = checkPin(slot, PinType::User);
    if (session.check == PinCheck::Usable)
        session.login = openCheckedUserSession(slot, pin);
    return session;
}

} // namespace token::flows
