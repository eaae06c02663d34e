#include "key_session.h"

#include "token/key_table.h"
#include "token/token_ops.h"

namespace token::flows {

namespace {

constexpr int32_t kSoPinType = 0;

} // namespace

void logOutKey(int32_t slot) {
    token_logout(slot);
    keyTable().loginState[slot] = KeyPresent;
}

bool pinLocked(int32_t slot, int32_t pinType) {
    TPinState& state = keyTable().pinState;
    token_get_pin_state(slot, pinType, state);
    return state.locked == 1;
}

bool soPinLocked(int32_t slot) {
    return pinLocked(slot, kSoPinType);
}

SoLogin logInSo(int32_t slot, const char* soPin) {
    SoLogin login;
    login.code = token_login_so(slot, soPin, login.triesLeft);
    return login;
}

} // namespace token::flows
