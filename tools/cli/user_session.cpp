#include "user_session.h"

#include "cli_texts.h"
#include "failure.h"
#include "i18n/string_table.h"
#include "token/flows/key_session.h"
#include "token/flows/user_login.h"
#include "token/key_table.h"

namespace cli {

UserSession::UserSession(Invocation& invocation, const FoundKey& key) : slot_(key.slot) {
    requireInitialised(key);
    if (token::flows::userPinLocked(slot_))
        throw Failure(kPinRefused, windowText("K_Dead"));
    const platform::SecretBytes pin = invocation.secrets().next(text("UserPinPrompt"));
    token::flows::logOutKey(slot_);
    const token::flows::UserLogin login = token::flows::logInUser(slot_, pin.c_str());
    if (!login.succeeded())
        throw Failure(login.keyRemoved() ? kNoSuchKey : kPinRefused,
                      login.keyRemoved() ? windowText("K_Key_Remove") : refusedPinText(login.triesLeft));
    token::flows::enterUserSession(slot_);
}

UserSession::~UserSession() {
    token::flows::logOutKey(slot_);
}

void requireInitialised(const FoundKey& key) {
    if (token::keyTable().keys[key.slot].initialised == 0)
        throw Failure(kFailed, windowText("Init_Info"));
}

QString refusedPinText(int32_t triesLeft) {
    if (triesLeft == 0)
        return windowText("K_Dead");
    // A key that does not tell its count gets no number.
    if (triesLeft < 0)
        return windowText("K_PIN_Error");
    return windowText("K_PIN_Error") + QStringLiteral(". ") + countText("K_Try_Time", triesLeft);
}

QString refusedOldPinText(int32_t triesLeft) {
    if (triesLeft == 0)
        return windowText("K_Dead");
    if (triesLeft < 0)
        return windowText("K_PIN_Error");
    return countText("K_OldCheck", triesLeft);
}

std::string providerName() {
    return i18n::text("PROVIDER_NAME").toLocal8Bit().toStdString();
}

} // namespace cli
