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

bool soPinLocked(int32_t slot) {
    TPinState& state = keyTable().pinState;
    token_get_pin_state(slot, kSoPinType, state);
    return state.locked == 1;
}

SoLogin logInSo(int32_t slot, const char* soPin) {
    SoLogin login;
    login.code = token_login_so(slot, soPin, login.triesLeft);
    return login;
}

} // namespace token::flows
