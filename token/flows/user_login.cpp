#include "user_login.h"

#include "key_session.h"
#include "token/key_table.h"
#include "token/token_ops.h"

namespace token::flows {

namespace {

constexpr int32_t kUserPinType = 1;

} // namespace

bool userPinLocked(int32_t slot) {
    return pinLocked(slot, kUserPinType);
}

UserLogin logInUser(int32_t slot, const char* pin) {
    UserLogin login;
    login.code = token_login(slot, pin, login.triesLeft);
    return login;
}

void enterUserSession(int32_t slot) {
    token_reload_all_objects(slot);
    keyTable().loginState[slot] = LoggedIn;
}

} // namespace token::flows
