#include "user_session.h"

#include "cli_texts.h"
#include "failure.h"
#include "i18n/outcome_texts.h"
#include "i18n/string_table.h"
#include "token/flows/key_session.h"

namespace cli {

UserSession::UserSession(Invocation& invocation, const FoundKey& key) : slot_(key.slot) {
    requireUsablePin(key, token::PinType::User);
    // On a PIN-pad reader nothing is prompted: the library is called without a PIN and the reader asks.
    const bool onReader = pinsTypedOnReader(invocation, key);
    const platform::SecretBytes pin = pinUnlessOnReader(invocation, onReader, text("UserPinPrompt"));
    const token::flows::Login login =
        token::flows::openCheckedUserSession(slot_, token::flows::pinOrReader(pin.c_str(), onReader));
    if (login.keyRemoved())
        throw Failure(kNoSuchKey, windowText("K_Key_Remove"));
    if (!login.succeeded())
        throw Failure(kPinRefused, i18n::refusedLoginText(login.triesLeft, cliStyle()));
}

UserSession::~UserSession() {
    token::flows::logOutKey(slot_);
}

void requireUsablePin(const FoundKey& key, token::PinType type) {
    const token::flows::PinCheck check = token::flows::checkPin(key.slot, type);
    if (check != token::flows::PinCheck::Usable)
        throw Failure(check == token::flows::PinCheck::Locked ? kPinRefused : kFailed,
                      i18n::pinCheckText(check, cliStyle()));
}

bool pinsTypedOnReader(Invocation& invocation, const FoundKey& key) {
    if (!token::flows::pinsOnReader(key.slot))
        return false;
    invocation.warn(windowText("K_PinOnReader"));
    return true;
}

platform::SecretBytes pinUnlessOnReader(Invocation& invocation, bool onReader, const QString& prompt) {
    return onReader ? platform::SecretBytes() : invocation.secrets().next(prompt);
}

platform::SecretBytes newPinUnlessOnReader(Invocation& invocation, bool onReader, const QString& prompt,
                                           const QString& again) {
    return onReader ? platform::SecretBytes() : invocation.secrets().nextNew(prompt, again);
}

std::string providerName() {
    return i18n::text("PROVIDER_NAME").toLocal8Bit().toStdString();
}

} // namespace cli
